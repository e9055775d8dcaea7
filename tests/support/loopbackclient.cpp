#include "tests/support/loopbackclient.h"

#include "foundation/ttimecounter.h"
#include "tests/support/freeport.h"

#include <QDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

LoopbackClient::LoopbackClient(quint16 port)
{
    m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    // The kernel completes the handshake from the listen backlog; no event loop is needed.
    if (::connect(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_handle);
        m_handle = -1;
    }
}

LoopbackClient::~LoopbackClient()
{
    close();
}

void LoopbackClient::send(const QByteArray& bytes)
{
    if (m_handle >= 0)
        ::send(m_handle, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
}

QByteArray LoopbackClient::receive(qsizetype atLeast, int timeoutMs)
{
    QByteArray received;
    while (m_handle >= 0 && received.size() < atLeast) {
        pollfd watched{m_handle, POLLIN, 0};
        if (::poll(&watched, 1, timeoutMs) <= 0)
            break;
        char buffer[4096];
        const ssize_t count = ::recv(m_handle, buffer, sizeof buffer, 0);
        if (count <= 0)
            break;
        received.append(buffer, count);
    }
    return received;
}

bool LoopbackClient::waitForClose(int timeoutMs)
{
    while (m_handle >= 0) {
        pollfd watched{m_handle, POLLIN, 0};
        if (::poll(&watched, 1, timeoutMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t count = ::recv(m_handle, buffer, sizeof buffer, 0);
        if (count <= 0)
            return true;
    }
    return false;
}

void LoopbackClient::close()
{
    if (m_handle >= 0)
        ::close(m_handle);
    m_handle = -1;
}

void LoopbackClient::reset()
{
    if (m_handle < 0)
        return;
    const linger abortive{1, 0};
    setsockopt(m_handle, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    close();
}

quint16 unusedPort()
{
    // Picked outside the kernel's range for outgoing connections: a port the kernel handed out
    // here could be taken by another test's client before the server binds it.
    return freeLoopbackPort().toUShort();
}

bool waitFor(const std::function<bool()>& done, int seconds)
{
    TTimeCounter counter;
    counter.setTimeOut(seconds);
    counter.Start();
    const bool held = waitUntil(counter, done);
    counter.Stop();
    return held;
}

int openDescriptorCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}
