#include "tests/snpp/snppclient.h"

#include <QDeadlineTimer>

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SnppClient::SnppClient(quint16 port, const char* fromAddress)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, fromAddress, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

SnppClient::~SnppClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SnppClient::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (m_fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent,
                                 static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            // The server stopped taking what the client sends: it reset the connection.
            m_reset = m_reset || errno == ECONNRESET || errno == EPIPE;
            return false;
        }
        sent += n;
    }
    return m_fd >= 0;
}

qsizetype SnppClient::sendUntilHeldBack(const QByteArray& bytes, int idleMs)
{
    qsizetype sent = 0;
    while (m_fd >= 0 && sent < bytes.size()) {
        pollfd room{m_fd, POLLOUT, 0};
        if (::poll(&room, 1, idleMs) <= 0)
            break;
        const ssize_t n =
            ::send(m_fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent),
                   MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EAGAIN)
            continue;
        if (n <= 0)
            break;
        sent += n;
    }
    return sent;
}

bool SnppClient::fill()
{
    QDeadlineTimer safety(SafetyMs);
    while (m_fd >= 0 && !m_eof && !safety.hasExpired()) {
        pollfd watched{m_fd, POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(safety.remainingTime())) <= 0)
            continue;
        char chunk[16384];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            m_eof = true;
            m_reset = m_reset || (n < 0 && errno == ECONNRESET);
            return false;
        }
        m_buffer.append(chunk, n);
        return true;
    }
    return false;
}

QByteArray SnppClient::line()
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf("\r\n");
        if (end >= 0) {
            const QByteArray reply = m_buffer.left(end);
            m_buffer.remove(0, end + 2);
            return reply;
        }
        if (!fill())
            return {};
    }
}

QByteArray SnppClient::command(const QByteArray& command)
{
    send(command + "\r\n");
    return line();
}

QByteArray SnppClient::rest(bool* closed)
{
    while (fill()) {
    }
    if (closed)
        *closed = m_eof;
    return std::exchange(m_buffer, {});
}
