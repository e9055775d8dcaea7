#include "tests/support/freeport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

QByteArray freeLoopbackPort()
{
    // The kernel hands out a free port to a socket bound to port 0; closing it frees the port
    // again, and the kernel does not reuse it at once.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QByteArray port = "0";
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = QByteArray::number(ntohs(address.sin_port));
    if (fd >= 0)
        ::close(fd);
    return port;
}
