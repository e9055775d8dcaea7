#include "net/hostaddresses.h"

#include "net/tsock.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace HostAddresses {

std::optional<quint32> parseDotted(const QByteArray& text)
{
    const QList<QByteArray> parts = text.split('.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        for (const char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
        }
        const int value = part.toInt();
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | static_cast<quint32>(value);
    }
    return address;
}

QByteArray dotted(quint32 address)
{
    return QByteArray::number(address >> 24) + '.' + QByteArray::number((address >> 16) & 255) +
           '.' + QByteArray::number((address >> 8) & 255) + '.' + QByteArray::number(address & 255);
}

bool isUnspecified(quint32 address)
{
    return (address >> 24) == 0;
}

bool isLoopback(quint32 address)
{
    return (address >> 24) == 127;
}

QList<quint32> own()
{
    QList<quint32> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
                continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            addresses.append(ntohl(in->sin_addr.s_addr));
        }
        ::freeifaddrs(list);
    }
    if (const std::optional<quint32> named = parseDotted(TSock::LocalAddress()))
        addresses.append(*named);
    return addresses;
}

} // namespace HostAddresses
