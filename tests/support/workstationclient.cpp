#include "tests/support/workstationclient.h"

#include "foundation/eventpump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMetaObject>

#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

WorkstationClient::WorkstationClient() = default;

WorkstationClient::~WorkstationClient()
{
    close();
}

bool WorkstationClient::connectTo(quint16 port, const QByteArray& from)
{
    close();
    m_eof = false;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    if (!from.isEmpty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (::inet_pton(AF_INET, from.constData(), &local.sin_addr) != 1 ||
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            close();
            return false;
        }
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close();
        return false;
    }
    return true;
}

bool WorkstationClient::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (m_fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent,
                                 static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return m_fd >= 0;
}

QByteArray WorkstationClient::read(qsizetype count)
{
    QByteArray received;
    QDeadlineTimer safety(SafetyMs);
    while (m_fd >= 0 && !m_eof && received.size() < count && !safety.hasExpired()) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(safety.remainingTime())) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            m_eof = true;
            break;
        }
        received.append(buffer, n);
    }
    return received;
}

QByteArray WorkstationClient::exchange(const QByteArray& command, const QByteArray& expectedReply)
{
    if (!send(command))
        return {};
    return read(expectedReply.size());
}

QByteArray WorkstationClient::readUntilClosed()
{
    QByteArray all;
    while (m_fd >= 0 && !m_eof) {
        const QByteArray part = read(1 << 16);
        if (part.isEmpty())
            break;
        all += part;
    }
    return all;
}

bool WorkstationClient::closedByServer()
{
    return readUntilClosed().isEmpty() && m_eof;
}

void WorkstationClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void WorkstationClient::abort()
{
    if (m_fd >= 0) {
        linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close();
}

void runWhilePumping(const std::function<void()>& client)
{
    std::atomic<bool> finished{false};
    std::thread thread([&] {
        client();
        finished = true;
        // Wakes the event loop below, which may be blocked waiting for events. A plain event,
        // which Qt makes nothing of and frees itself.
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
    });
    while (!finished)
        EventPump::waitForEvents();
    thread.join();
}
