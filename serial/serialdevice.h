#pragma once

#include "serial/linesettings.h"

#include <QByteArray>
#include <QString>

// The platform side of a COM port: one terminal device opened for exclusive non-blocking use.
// Every failure is reported as a result, never raised.
class SerialDevice final
{
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens `path` for reading and writing, not as controlling terminal, non-blocking, and
    // claims it exclusively. False when the device is absent or in use.
    bool open(const QString& path);
    // Drops DTR (the modem hangs up), gives up the exclusive claim and closes the device.
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }

    // Sends the line settings to the device and raises the control lines that
    // raisedControlLines() names. Settings the device rejects are ignored.
    void apply(const LineSettings& settings);

    // Reads what has arrived, up to `max` bytes, without waiting. 0 when nothing was there,
    // -1 when the read failed.
    int read(char* buffer, int max);

    // Writes all of `bytes`. A device that cannot take them (flow control holding the line,
    // a vanished device) makes it give up after the time the bytes need at `bitRate` plus a
    // margin, so a write never blocks the server for good. True when every byte was taken.
    bool write(const QByteArray& bytes, int bitRate);

    // The modem status lines (TIOCM_* bits), or -1 when the device has none.
    int modemLines() const;
    // Count of breaks and of line errors (framing, overrun, parity) seen so far, or -1 each
    // when the driver keeps no such counts.
    void lineCounters(int& breaks, int& errors) const;
    // Bytes still waiting to be sent, or -1.
    int pendingOutput() const;

private:
    // Raises or drops the TIOCM_* lines given.
    void setModemLine(int lines, bool on);

    int m_fd = -1;
};
