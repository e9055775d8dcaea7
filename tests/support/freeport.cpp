#include "tests/support/freeport.h"

#include <QFile>
#include <QRandomGenerator>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The ports the kernel hands to outgoing connections. A listening port picked among them may be
// taken as the local end of some other test's connection before the server binds it.
std::pair<int, int> ephemeralRange()
{
    QFile file(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = file.readAll().simplified().split(' ');
        if (parts.size() == 2)
            return {parts[0].toInt(), parts[1].toInt()};
    }
    return {32768, 60999};
}

bool bindable(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return free;
}

} // namespace

QByteArray freeLoopbackPort()
{
    // Outside the ephemeral range, at random, so that neither outgoing connections nor other
    // tests picking at the same time are likely to take it before the server listens there.
    const auto [low, high] = ephemeralRange();
    const bool below = low - 1 - 10000 >= 5000;
    const int first = below ? 10000 : high + 1;
    const int last = below ? low - 1 : 65535;
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port =
            static_cast<quint16>(QRandomGenerator::global()->bounded(first, last + 1));
        if (bindable(port))
            return QByteArray::number(port);
    }
    return "0";
}
