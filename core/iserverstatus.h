#pragma once

#include <QString>

class MessageQueue;

// What the server is doing, as the status bar shows it: the messages in the queue, the minutes to
// the next check, whether a run is delivering the queue (workstations are answered busy
// meanwhile), the clock and the latest paging progress; and the queue itself, through which
// pages are queued, delivered and removed.
class IServerStatus
{
public:
    virtual ~IServerStatus() = default;

    // The queue file's one owner. It keeps QueuedCount as it changes the file.
    virtual MessageQueue& queue() = 0;
    virtual const MessageQueue& queue() const = 0;
    // QueuedCount, for display.
    virtual qint32 queuedCount() const = 0;
    virtual qint32 nextCheck() const = 0;
    virtual void setNextCheck(qint32 minutes) = 0;
    virtual bool serverBusy() const = 0;
    virtual void setServerBusy(bool busy) = 0;
    virtual void setClockText(const QString& text) = 0;
    virtual void setProgress(const QString& text) = 0;
};
