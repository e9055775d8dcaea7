#pragma once

#include <QByteArray>

#include <functional>

// A plain blocking TCP client on 127.0.0.1: the workstation on the other end of the socket
// under test. It never runs the event loop, so the server side only moves inside the test's
// waits.
class LoopbackClient final
{
public:
    explicit LoopbackClient(quint16 port);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool isOpen() const { return m_handle >= 0; }
    void send(const QByteArray& bytes);
    // What arrives within the time given (scaled), up to `atLeast` bytes or the peer's close.
    QByteArray receive(qsizetype atLeast, int timeoutMs = 10000);
    // True when the peer has closed the connection (end of stream seen within the time).
    bool waitForClose(int timeoutMs = 10000);
    // An orderly close (FIN).
    void close();
    // An abortive close: the peer gets a reset.
    void reset();

private:
    int m_handle = -1;
};

// A port on 127.0.0.1 that nothing listens on, outside the range of outgoing connections.
quint16 unusedPort();

// Runs the event loop until `done` holds or about `seconds` pass. True when `done` held.
bool waitFor(const std::function<bool()>& done, int seconds = 30);

// The number of open descriptors of this process.
int openDescriptorCount();
