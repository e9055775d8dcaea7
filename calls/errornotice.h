#pragma once

#include <QByteArray>

#include <memory>
#include <optional>

class Pacing;
class TSock;
class TTimeCounter;

// Tells a submitting workstation that one of its pages failed: a short TCP connection to the
// sender's address on the server's own port, one "*ER*" line, then the workstation closes.
// One object serves one call processing run: its client socket is reused for every notice and
// its five-second counter is started for each one without clearing its time-out, so once a
// notice has waited the full five seconds, later notices of the same run do not wait.
class ErrorNotice final
{
public:
    // `pacing` times the wait for the workstation.
    explicit ErrorNotice(const Pacing& pacing);
    ~ErrorNotice();
    ErrorNotice(const ErrorNotice&) = delete;
    ErrorNotice& operator=(const ErrorNotice&) = delete;

    // Sends "*ER*Error Sending Message To: " + pin + " (" + reason + ")" to host:port. Waits
    // until the workstation has taken the line and closed, the connection failed, or the counter
    // ran out; then makes sure the socket is closed. Errors on the way are ignored: the notice
    // is a courtesy and must never stop the run.
    void send(const QByteArray& host, const QByteArray& port, const QByteArray& pin,
              const QByteArray& reason);

    static QByteArray text(const QByteArray& pin, const QByteArray& reason);

    // Why no notice may go to `host`, or nothing when one may. A notice goes to the server's
    // own port, so one addressed to this host (an empty or garbled sender, 0.0.0.0, a loopback
    // address, an address of this host) would be taken by the server itself, and that
    // conversation would hold the running call for its whole idle limit.
    static std::optional<QByteArray> skipReason(const QByteArray& host);

    static constexpr int TimeOutSeconds = 5;

private:
    std::unique_ptr<TSock> m_sock;
    std::unique_ptr<TTimeCounter> m_counter;
    bool m_connected = false; // the current notice's connection was made
    bool m_failed = false;    // the current notice's connection reported an error
};
