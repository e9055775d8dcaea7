// Host and port lookups of TSock, and the addresses it tells.

#include "net/tsock.h"

#include "foundation/convert.h"
#include "net/esockexception.h"
#include "net/hostcache.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray dotted(quint32 networkAddress)
{
    in_addr address{};
    address.s_addr = networkAddress;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QByteArray(text);
}

} // namespace

quint32 TSock::LookupHost(const QByteArray& name)
{
    if (name.isEmpty())
        return htonl(INADDR_ANY);
    report(siLookup, "Lookup Of Host " + name);
    // A name that begins with a digit is a dotted address: converted, never looked up or cached.
    if (name.front() >= '0' && name.front() <= '9')
        return inet_addr(name.constData());
    if (const auto address = m_hostCache->resolve(name))
        return *address;
    throw ESockException("Host Lookup - Could Not Find Host Entry");
}

quint16 TSock::LookupPort(const QByteArray& name)
{
    report(siLookup, "Lookup Of Port " + name);
    if (name.isEmpty())
        throw ESockException("Port Lookup - Could Not Find Service Entry");
    if (name.front() >= '0' && name.front() <= '9') {
        const qint32 port = StrToInt(name);
        // A number beyond the 16-bit range names no port; it is refused rather than wrapped
        // onto another port.
        if (port < 0 || port > 65535)
            throw ESockException("Port Lookup - Could Not Find Service Entry");
        return htons(static_cast<quint16>(port));
    }
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    const char* protocol = m_socketType == stDatagram ? "udp" : "tcp";
    if (getservbyname_r(name.constData(), protocol, &entry, buffer, sizeof buffer, &found) != 0 ||
        found == nullptr)
        throw ESockException("Port Lookup - Could Not Find Service Entry");
    return static_cast<quint16>(found->s_port);
}

QByteArray TSock::LocalAddress()
{
    char name[129] = {};
    if (gethostname(name, 128) != 0)
        return QByteArrayLiteral("0.0.0.0");
    const auto address = HostCache::systemResolve(QByteArray(name));
    return address ? dotted(*address) : QByteArrayLiteral("0.0.0.0");
}

QByteArray TSock::LocalSocketAddress() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (m_handle < 0 || getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return QByteArrayLiteral("0.0.0.0");
    return dotted(local.sin_addr.s_addr);
}

QByteArray TSock::RemoteAddress() const
{
    return dotted(m_remote.sin_addr.s_addr);
}

quint16 TSock::LocalPort() const
{
    if (m_handle < 0)
        return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}
