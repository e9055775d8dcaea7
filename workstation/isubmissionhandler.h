#pragma once

#include "intake/pagerefusal.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct QueueSubmission;

// What a workstation's conversation asks of the server around it, and all it may ask: whether
// an address is admitted and an access number allowed, whether a run is delivering the queue,
// the minutes to the next check, the queue to hand pages to (read from the conversation's data
// blocks), and where a failure goes that no step answers itself.
class ISubmissionHandler
{
public:
    virtual ~ISubmissionHandler() = default;

    // The IP accept and deny lists admit `address`.
    virtual bool addressAdmitted(const QByteArray& address) const = 0;
    // The allow list alone lets `accessNumber` be paged: the answer to "PAGE".
    virtual bool allowListAllows(const QByteArray& accessNumber) const = 0;
    virtual bool serverBusy() const = 0;
    virtual qint32 nextCheck() const = 0;

    // The checks of one page, without writing anything.
    virtual std::optional<PageRefusal> checkPage(const QueueSubmission& page) const = 0;
    // Checks and writes the pages with one write: all of them or none.
    virtual std::optional<PageRefusal> queuePages(const QList<QueueSubmission>& pages) = 0;

    // A workstation's data block was refused: one line in the "Connection Log" with the sender
    // and the reason. A queue file that could not be written has been logged with its cause.
    virtual void logRefusal(const PageRefusal& refusal, const QByteArray& sender) = 0;

    // Tells the operator, without waiting for an answer.
    virtual void reportFailure(const QString& text) = 0;
};
