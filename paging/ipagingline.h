#pragma once

#include <QByteArray>

#include <functional>

class Pacing;

// A line the call run delivers one company's pages over: a modem on a COM port, or a carrier
// reached over the network. One Connect per company, one SendPage per message, one Disconnect
// at the end; Disconnect is also the cancel, and makes a running Connect or SendPage return
// false quietly. Every step is reported through the progress handler.
//
// Failures: Connect raises EPageError when the company cannot be reached (its pages stay
// queued). SendPage raises EPageError when the message failed (it is done with: the sender
// is told), and ELineLost when the line went down before the message was handed over (it
// stays queued and the call is over).
class IPagingLine
{
public:
    using ProgressHandler = std::function<void(const QByteArray& text)>;

    virtual ~IPagingLine() = default;

    // How log lines and the status panel name the line: "COM2", "tap+tls://host:18101".
    virtual QByteArray lineName() const = 0;
    // The company called next: its access number, its password and its message length.
    virtual void setProvider(const QByteArray& provider) = 0;
    virtual void setPassword(const QByteArray& password) = 0;
    virtual void setMsgLength(qint32 length) = 0;
    virtual void setOnPageProgress(ProgressHandler handler) = 0;
    virtual const Pacing& pacing() const = 0;

    virtual bool Connect() = 0;
    virtual bool SendPage(const QByteArray& pin, const QByteArray& text) = 0;
    virtual bool Disconnect() = 0;
    // A call is up: Connect succeeded and the call has not ended.
    virtual bool inCall() const = 0;
    // Drops the line at once, without a word to the far end (the run's last resort).
    virtual void hangUp() = 0;
    // A modem needs a pause after hanging up before it can dial again; a network line does not.
    virtual bool pausesAfterHangUp() const = 0;

protected:
    IPagingLine() = default;
    IPagingLine(const IPagingLine&) = default;
    IPagingLine& operator=(const IPagingLine&) = default;
};
