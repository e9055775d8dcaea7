#pragma once

#include <QString>

// What the server is doing, as the status bar shows it: the messages in the queue, the minutes to
// the next check, whether a run is delivering the queue (workstations are answered busy
// meanwhile), the clock and the latest paging progress.
class IServerStatus
{
public:
    virtual ~IServerStatus() = default;

    virtual qint32 queuedCount() const = 0;
    virtual void setQueuedCount(qint32 count) = 0;
    virtual qint32 nextCheck() const = 0;
    virtual void setNextCheck(qint32 minutes) = 0;
    virtual bool serverBusy() const = 0;
    virtual void setServerBusy(bool busy) = 0;
    virtual void setClockText(const QString& text) = 0;
    virtual void setProgress(const QString& text) = 0;
};
