#include "intake/pagequeuer.h"

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/iserverstatus.h"
#include "core/serverstate.h"
#include "foundation/convert.h"
#include "foundation/errors.h"
#include "foundation/widgettext.h"
#include "intake/submissionblock.h"
#include "intake/submissioncheck.h"
#include "queue/messagequeuefile.h"

PageQueuer::PageQueuer(ServerState& state) : m_settings(state), m_status(state), m_log(state) {}

std::optional<PageQueuer::Refusal> PageQueuer::check(const SubmissionBlock& block,
                                                     const QByteArray& sender) const
{
    // The access number is what call processing dials: it must be one the operator allows,
    // and nothing but a number, or a client could make the modem dial or do anything.
    if (SubmissionCheck::checkAccessNumber(block.accessNumber, m_settings.allowList()) !=
        SubmissionCheck::AccessNumberCheck::Allowed)
        return Refusal{Refusal::Kind::NumberNotAllowed, block.accessNumber};
    if (const std::optional<QByteArray> reason = SubmissionCheck::rejectionReason(block, sender))
        return Refusal{Refusal::Kind::Rejected, *reason};
    return std::nullopt;
}

std::optional<PageQueuer::Refusal> PageQueuer::queue(const QList<SubmissionBlock>& blocks,
                                                     const QByteArray& sender)
{
    QList<MessageQueueFile::Submission> submissions;
    for (const SubmissionBlock& block : blocks) {
        if (std::optional<Refusal> refusal = check(block, sender))
            return refusal;
        MessageQueueFile::LineSettings settings;
        settings.password = block.password;
        // Checked to be plain decimal digits: stored as the number they make.
        settings.length = QByteArray::number(block.length.toInt());
        settings.parity = StrToInt(block.parity);
        settings.dataBits = StrToInt(block.dataBits);
        settings.stopBits = StrToInt(block.stopBits);
        submissions.append(
            {block.accessNumber, settings,
             QueueEntry{block.message, block.signature, block.pin, sender, block.id}});
    }
    // The free keys are looked up and written with no event-loop pass in between, so nothing
    // served meanwhile can take the same key.
    try {
        if (!MessageQueueFile(m_settings.dataFile(MessageQueueFile::FileName))
                 .writeSubmissions(submissions))
            return Refusal{Refusal::Kind::Rejected, "Queue Full"};
    } catch (const EIniFileError& error) {
        // Nothing was written (the queue file is replaced whole or not at all). The sender
        // learns it at once and may try again later; the operator sees why.
        const QByteArray line = "Message Not Queued From: " + sender + " (" + error.message() + ")";
        m_log.addConnectionLog(WidgetText::fromBytes(line));
        m_log.AppendLog(line);
        return Refusal{Refusal::Kind::Unavailable, "Queue Unavailable"};
    }
    // Every page is in the queue now. The log lines cannot fail the page: a log that cannot be
    // written is reported to the operator by the log writer itself.
    for (const SubmissionBlock& block : blocks) {
        show(block, sender);
        m_status.setQueuedCount(m_status.queuedCount() + 1);
    }
    return std::nullopt;
}

void PageQueuer::show(const SubmissionBlock& block, const QByteArray& sender)
{
    const QByteArray lines[] = {
        "Message Received From: " + sender, "  Msg. To: " + block.id,
        "         PIN: " + block.pin,       " Provider: " + block.accessNumber,
        "Message: " + block.message,        QByteArray(42, '-'),
    };
    for (const QByteArray& line : lines) {
        m_log.addConnectionLog(WidgetText::fromBytes(line));
        m_log.AppendLog(line);
    }
}
