#include "workstation/submissionhandler.h"

#include "core/ilogsinks.h"
#include "core/iserverstatus.h"
#include "core/serverstate.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

SubmissionHandler::SubmissionHandler(ServerState& state, IOperatorPrompts& prompts)
    : m_admission(state), m_status(state), m_log(state), m_prompts(prompts), m_queuer(state)
{
}

bool SubmissionHandler::addressAdmitted(const QByteArray& address) const
{
    return m_admission.addressAdmitted(address);
}

bool SubmissionHandler::allowListAllows(const QByteArray& accessNumber) const
{
    return m_admission.allowListAllows(accessNumber);
}

bool SubmissionHandler::serverBusy() const
{
    return m_status.serverBusy();
}

qint32 SubmissionHandler::nextCheck() const
{
    return m_status.nextCheck();
}

std::optional<PageRefusal> SubmissionHandler::checkPage(const QueueSubmission& page) const
{
    return m_queuer.check(page);
}

std::optional<PageRefusal> SubmissionHandler::queuePages(const QList<QueueSubmission>& pages)
{
    return m_queuer.queue(pages);
}

void SubmissionHandler::logRefusal(const PageRefusal& refusal, const QByteArray& sender)
{
    QByteArray reason;
    switch (refusal.kind) {
    case PageRefusal::Kind::NumberNotAllowed: {
        // The number is the workstation's own text: a long one is shown cut short.
        QByteArray number = refusal.reason.left(MaxShown);
        if (refusal.reason.size() > MaxShown)
            number += "...";
        reason = "Provider Access Number Not Allowed: " + number;
        break;
    }
    case PageRefusal::Kind::Rejected:
    case PageRefusal::Kind::QueueFull:
        reason = refusal.reason;
        break;
    case PageRefusal::Kind::Unavailable:
        return; // the queuer has logged the queue file's failure with its cause
    }
    m_log.addConnectionLog(
        WidgetText::fromBytes("Message Refused From: " + sender + " (" + reason + ")"));
}

void SubmissionHandler::reportFailure(const QString& text)
{
    m_prompts.notifyError(text, {});
}
