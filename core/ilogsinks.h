#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Where the server's events are written: the "Connection Log" and "Transmition Log" windows'
// lines, and the transaction log Log.Dat; and the local time their lines are stamped with.
class ILogSinks
{
public:
    virtual ~ILogSinks() = default;

    // The live logs keep this many of their newest lines: between runs and midnights a busy
    // server would otherwise grow them without end.
    static constexpr int LiveLogLines = 5000;

    // The local date and time for the clock and every time stamp.
    virtual QDateTime now() const = 0;
    // The time stamp that log lines begin with, taken now.
    virtual QString timeStamp() const = 0;

    virtual const QStringList& connectionLog() const = 0;
    virtual const QStringList& transmitLog() const = 0;
    virtual void addConnectionLog(const QString& line) = 0;
    virtual void addTransmitLog(const QString& line) = 0;
    virtual void clearConnectionLog() = 0;
    virtual void clearTransmitLog() = 0;

    // One line to Log.Dat when logging is on. Never fails its caller: a line that cannot be
    // written is reported to the operator instead.
    virtual void AppendLog(const QByteArray& text) = 0;
};
