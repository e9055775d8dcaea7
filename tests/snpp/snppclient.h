#pragma once

#include <QByteArray>

// A paging client for the gateway tests: a blocking TCP client from a loopback address of its
// choice (127.0.0.x stands in for other machines), run on a thread of its own while the test's
// main thread runs the server's event loop (runWhilePumping). Every read gives up after a
// generous safety limit, so a server that does not answer fails the test instead of hanging it.
class SnppClient final
{
public:
    static constexpr int SafetyMs = 20000;

    explicit SnppClient(quint16 port, const char* fromAddress = "127.0.0.1");
    ~SnppClient();
    SnppClient(const SnppClient&) = delete;
    SnppClient& operator=(const SnppClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool send(const QByteArray& bytes);
    // Sends `bytes` as long as the socket takes them without waiting, and waits up to `idleMs`
    // for room when it is full. The number of bytes sent: less than all of them once the
    // server has stopped taking what the client sends.
    qsizetype sendUntilHeldBack(const QByteArray& bytes, int idleMs);
    // The next reply line without its CR LF; empty when the server closed first.
    QByteArray line();
    // Sends the command and CR LF, then reads one reply line.
    QByteArray command(const QByteArray& command);
    // Everything until the server closes; `closed` tells whether it did within the limit.
    QByteArray rest(bool* closed = nullptr);
    // True when the connection ended with a reset, seen by a read or a send, rather than with
    // the server's orderly close.
    bool wasReset() const { return m_reset; }

private:
    bool fill();

    int m_fd = -1;
    QByteArray m_buffer;
    bool m_eof = false;
    bool m_reset = false;
};
