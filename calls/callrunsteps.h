#pragma once

#include <QByteArray>

#include <exception>
#include <optional>

struct TServerConfig;
class IOperatorPrompts;
class MessageQueue;
class Pacing;
class PageQueue;
class QString;

// What one company's delivery needs of the run it is part of: the run owns the queue, the page
// store, the logs and the operator's prompts, and every company's delivery reaches them on the
// run's thread through this.
class CallRunSteps
{
public:
    virtual ~CallRunSteps() = default;

    // One line to the "Transmition Log" (date-time + " " + text) and its log text to Log.Dat.
    virtual void logLine(const QByteArray& windowText, const QByteArray& logText) = 0;
    // The run is stopping: no further message or call is to be started.
    virtual bool stopRequested() const = 0;
    // Something nothing in the run handles went wrong: the run stops and passes it on.
    virtual void fail(std::exception_ptr failure) = 0;

    virtual MessageQueue& queue() = 0;
    // The page store's side of the queue, or nothing when the run works on the file alone.
    virtual PageQueue* pages() = 0;
    // Marks a recorded page sending; false when it is not to be sent now (held, cancelled,
    // expired, already final).
    virtual bool claim(qint64 id) = 0;
    virtual IOperatorPrompts& prompts() = 0;
    // Tells the sender of a failed page why, unless it may not be told (logged then).
    virtual void notifySender(const QByteArray& sender, const QByteArray& pin,
                              const QByteArray& error) = 0;

    virtual const TServerConfig& config() const = 0;
    virtual const QString& dataDir() const = 0;
    // The durations the modem lines wait by.
    virtual const Pacing& pacing() const = 0;
    // Log lines name each call's line ("Line: COM2"): more than one line may be in use.
    virtual bool namesLines() const = 0;

    // A call to the company begins over the line named, or ends (`reached`: it logged on and
    // kept the line to its end).
    virtual void noteCallStarted(const QByteArray& company, const QByteArray& lineName) = 0;
    virtual void noteCallEnded(const QByteArray& company, bool reached) = 0;

protected:
    CallRunSteps() = default;
    CallRunSteps(const CallRunSteps&) = default;
    CallRunSteps& operator=(const CallRunSteps&) = default;
};
