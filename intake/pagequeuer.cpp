#include "intake/pagequeuer.h"

#include "core/ilogsinks.h"
#include "core/iserverstatus.h"
#include "core/serverstate.h"
#include "foundation/errors.h"
#include "foundation/widgettext.h"
#include "intake/submissioncheck.h"
#include "pages/pagequeue.h"
#include "pages/pagerecord.h"
#include "queue/messagequeue.h"
#include "queue/queuesubmission.h"

PageQueuer::PageQueuer(ServerState& state) : m_admission(state), m_status(state), m_log(state) {}

void PageQueuer::setPageQueue(PageQueue* pages, FrontEnd frontEnd)
{
    m_pages = pages;
    m_frontEnd = frontEnd;
}

bool PageQueuer::write(const QList<QueueSubmission>& submissions, const QList<PageOrigin>& origins,
                       QList<qint64>& ids)
{
    ids.clear();
    if (!m_pages)
        return m_status.queue().add(submissions).has_value();
    QList<NewPage> pages;
    pages.reserve(submissions.size());
    for (qsizetype i = 0; i < submissions.size(); ++i) {
        const QueueSubmission& submission = submissions[i];
        NewPage page;
        const PageOrigin origin = i < origins.size() ? origins[i] : PageOrigin{};
        page.pagerId = origin.pagerId.isEmpty() ? submission.entry.addressee : origin.pagerId;
        page.senderIdentity = origin.senderIdentity;
        page.notBefore = origin.notBefore;
        page.section = submission.accessNumber;
        page.settings = submission.settings;
        page.entry = submission.entry;
        page.frontEnd = m_frontEnd;
        pages.append(page);
    }
    // The store's record, the queue write and the record of where it went are each on the disk
    // before this returns: the "250" that follows is true after a kill at any point.
    std::optional<QList<qint64>> taken = m_pages->take(pages);
    if (!taken)
        return false;
    ids = *taken;
    return true;
}

std::optional<PageQueuer::Refusal> PageQueuer::check(const QueueSubmission& submission) const
{
    // The access number is what call processing dials: it must be one the operator allows,
    // and nothing but a number, or a client could make the modem dial or do anything.
    if (!m_admission.mayDial(submission.accessNumber))
        return Refusal{Refusal::Kind::NumberNotAllowed, submission.accessNumber};
    if (const std::optional<QByteArray> reason = SubmissionCheck::rejectionReason(submission))
        return Refusal{Refusal::Kind::Rejected, *reason};
    return std::nullopt;
}

std::optional<PageQueuer::Refusal>
PageQueuer::firstRefusal(const QList<QueueSubmission>& submissions) const
{
    for (const QueueSubmission& submission : submissions) {
        if (std::optional<Refusal> refusal = check(submission))
            return refusal;
    }
    return std::nullopt;
}

std::optional<PageQueuer::Refusal> PageQueuer::queue(const QList<QueueSubmission>& submissions,
                                                     const QList<PageOrigin>& origins)
{
    QList<Transaction> one{{submissions, origins, std::nullopt, {}}};
    writeAll(one);
    if (!one.first().refusal)
        showQueued(one.first());
    m_lastIds = one.first().ids;
    return one.first().refusal;
}

void PageQueuer::writeAll(QList<Transaction>& transactions)
{
    QList<Transaction*> passed;
    for (Transaction& transaction : transactions) {
        transaction.ids.clear();
        transaction.refusal = firstRefusal(transaction.submissions);
        if (!transaction.refusal)
            passed.append(&transaction);
    }
    if (passed.isEmpty())
        return;
    // The free keys are looked up and written with no event-loop pass in between, so nothing
    // served meanwhile can take the same key.
    QList<QueueSubmission> submissions;
    QList<PageOrigin> origins;
    for (const Transaction* transaction : std::as_const(passed)) {
        submissions += transaction->submissions;
        // Each transaction's origins line up with its own pages, however many it gave.
        for (qsizetype i = 0; i < transaction->submissions.size(); ++i)
            origins.append(i < transaction->origins.size() ? transaction->origins[i]
                                                           : PageOrigin{});
    }
    QList<qint64> ids;
    bool written = false;
    try {
        written = write(submissions, origins, ids);
    } catch (const EZelkorError& error) {
        // Nothing was written (the queue file is replaced whole or not at all). Each sender
        // learns it at once and may try again later; the operator sees why.
        for (Transaction* transaction : std::as_const(passed)) {
            notQueued(transaction->submissions, error.message());
            transaction->refusal = Refusal{Refusal::Kind::Unavailable, "Queue Unavailable"};
        }
        return;
    }
    if (written) {
        qsizetype next = 0;
        for (Transaction* transaction : std::as_const(passed)) {
            const qsizetype count = transaction->submissions.size();
            if (!ids.isEmpty())
                transaction->ids = ids.mid(next, count);
            next += count;
        }
    } else if (passed.size() == 1) {
        passed.first()->refusal = Refusal{Refusal::Kind::QueueFull, "Queue Full"};
    } else {
        // Some section has no room for all of them together: each alone, so that only the ones
        // that do not fit are refused, as when they came one after the other.
        for (Transaction* transaction : std::as_const(passed)) {
            QList<Transaction> alone{{transaction->submissions, transaction->origins, {}, {}}};
            writeAll(alone);
            transaction->refusal = alone.first().refusal;
            transaction->ids = alone.first().ids;
        }
    }
}

void PageQueuer::notQueued(const QList<QueueSubmission>& submissions, const QByteArray& why)
{
    const QByteArray sender =
        submissions.isEmpty() ? QByteArray() : submissions.first().entry.sender;
    const QByteArray line = "Message Not Queued From: " + sender + " (" + why + ")";
    m_log.addConnectionLog(WidgetText::fromBytes(line));
    m_log.AppendLog(line);
}

void PageQueuer::showQueued(const Transaction& transaction)
{
    // Every page is in the queue now, and counted. The log lines cannot fail the page: a log
    // that cannot be written is reported to the operator by the log writer itself.
    const QList<QueueSubmission>& submissions = transaction.submissions;
    const QList<qint64>& ids = transaction.ids;
    for (qsizetype i = 0; i < submissions.size(); ++i) {
        show(submissions[i]);
        if (i < ids.size()) {
            const QueueSubmission& page = submissions[i];
            const QByteArray line = "Page " + QByteArray::number(ids[i]) +
                                    " Queued: " + page.accessNumber + ' ' + page.entry.pin;
            m_log.addConnectionLog(WidgetText::fromBytes(line));
            m_log.AppendLog(line);
        }
    }
}

void PageQueuer::show(const QueueSubmission& submission)
{
    const QueueEntry& entry = submission.entry;
    const QByteArray lines[] = {
        "Message Received From: " + entry.sender,
        "  Msg. To: " + entry.addressee,
        "         PIN: " + entry.pin,
        " Provider: " + submission.accessNumber,
        "Message: " + entry.message,
        QByteArray(42, '-'),
    };
    for (const QByteArray& line : lines) {
        m_log.addConnectionLog(WidgetText::fromBytes(line));
        m_log.AppendLog(line);
    }
}
