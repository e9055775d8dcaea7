#include "net/hostcache.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

HostCache::HostCache(Resolver resolver)
    : m_resolver(resolver ? std::move(resolver) : Resolver(&HostCache::systemResolve))
{
}

HostCache& HostCache::shared()
{
    static HostCache cache;
    return cache;
}

std::optional<quint32> HostCache::find(const QByteArray& name) const
{
    for (const Entry& entry : m_entries) {
        if (entry.name.compare(name, Qt::CaseInsensitive) == 0)
            return entry.address;
    }
    return std::nullopt;
}

std::optional<quint32> HostCache::resolve(const QByteArray& name)
{
    if (const auto cached = find(name))
        return cached;
    const std::optional<quint32> address = m_resolver(name);
    if (address)
        m_entries.append(Entry{name, *address});
    return address;
}

std::optional<quint32> HostCache::systemResolve(const QByteArray& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    std::optional<quint32> address;
    for (const addrinfo* info = found; info != nullptr; info = info->ai_next) {
        if (info->ai_family == AF_INET && info->ai_addr != nullptr) {
            address = reinterpret_cast<const sockaddr_in*>(info->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(found);
    return address;
}
