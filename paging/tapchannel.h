#pragma once

#include <QByteArray>

class Pacing;

// The byte line a TAP exchange runs over once the paging terminal is reached: a modem's serial
// port after CONNECT, or a TCP or TLS connection to a carrier. The exchange writes, waits for
// one of several replies and closes; how the line was set up is none of its business.
//
// Everything runs on the thread that owns the channel. A wait keeps that thread's event loop
// running, so a cancel delivered there (close() from a handler) ends it at once.
class TapChannel
{
public:
    virtual ~TapChannel() = default;

    virtual bool isOpen() const = 0;
    // Set when the line was closed by close() or the call was ended from this side; cleared
    // when the line is opened again.
    virtual bool aborted() const = 0;
    virtual void setAborted() = 0;

    // Sends the bytes as one write. False when they could not be handed to the line.
    virtual bool write(const QByteArray& bytes) = 0;
    // Waits until one of the "|"-separated alternatives has been received or `timeOutSeconds`
    // have passed; its index, or -1 on time-out, cancel or a closed line. Bytes received after
    // a completed reply are kept for the next wait.
    virtual int waitForReply(const QByteArray& alternatives, int timeOutSeconds) = 0;
    virtual void close() = 0;

    // True when the line carries fewer than 8 data bits, so the top bit of every byte is lost.
    virtual bool sevenBitLine() const = 0;
    // The durations of the waits and of the exchange's pauses.
    virtual const Pacing& pacing() const = 0;

protected:
    TapChannel() = default;
    TapChannel(const TapChannel&) = default;
    TapChannel& operator=(const TapChannel&) = default;
};
