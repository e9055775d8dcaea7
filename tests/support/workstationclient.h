#pragma once

#include <QByteArray>

#include <functional>

// A workstation for the conversation tests: a blocking TCP client on 127.0.0.1 that runs on a
// thread of its own while the test's main thread runs the server's event loop
// (runWhilePumping), so the server can serve it inside any of its nested waits. Every read
// gives up after a generous safety limit so that a broken server fails the test instead of
// hanging it; no test result depends on how fast anything is.
class WorkstationClient final
{
public:
    static constexpr int SafetyMs = 20000;

    WorkstationClient();
    ~WorkstationClient();
    WorkstationClient(const WorkstationClient&) = delete;
    WorkstationClient& operator=(const WorkstationClient&) = delete;

    // Connects to 127.0.0.1; `from`, when given, is the local address to connect from (any
    // 127.0.0.x stands in for another workstation).
    bool connectTo(quint16 port, const QByteArray& from = {});
    bool send(const QByteArray& bytes);
    // Reads until `count` bytes have arrived, the server closed the connection, or the safety
    // limit passed; gives what arrived.
    QByteArray read(qsizetype count);
    // Sends `command` and reads as many bytes as `expectedReply` holds.
    QByteArray exchange(const QByteArray& command, const QByteArray& expectedReply);
    // Everything until the server closes the connection (or the safety limit).
    QByteArray readUntilClosed();
    // True once the server has closed the connection and nothing more is to be read.
    bool closedByServer();
    // Orderly close, or a reset that drops the connection at once.
    void close();
    void abort();
    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }

private:
    int m_fd = -1;
    bool m_eof = false;
};

// Runs `client` on a thread of its own while this thread runs the event loop, and returns when
// the client function has returned.
void runWhilePumping(const std::function<void()>& client);
