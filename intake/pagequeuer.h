#pragma once

#include "core/admission.h"
#include "intake/pagerefusal.h"
#include "pages/pagestate.h"
#include "queue/queuesubmission.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <optional>

class ILogSinks;
class IServerStatus;
class PageQueue;
class ServerState;

// What the page store keeps of a page beyond its queue entry: the pager as the sender named it
// (empty: the addressee stands for it), who the sender says it is, and a time it is held until.
struct PageOrigin
{
    QByteArray pagerId;
    QByteArray senderIdentity;
    std::optional<QDateTime> notBefore;
};

// How a page gets into the queue, whichever front end read it: the access number is checked
// with the admission's number policy, the fields against what the queue file and the paging
// terminal can take (SubmissionCheck); then the page is written through the queue's owner,
// which counts it, and shown in the "Connection Log" and Log.Dat.
class PageQueuer final
{
public:
    using Refusal = PageRefusal;

    explicit PageQueuer(ServerState& state);

    // From now on every page is written through the page store as well, under this front end's
    // name: each gets an id, recorded before its queue write and confirmed after it, and an added
    // log line names it. Without it pages go to the queue alone.
    void setPageQueue(PageQueue* pages, FrontEnd frontEnd);
    // Whether pages are written through a page store, which can hold one until its time.
    bool keepsPages() const { return m_pages != nullptr; }
    // The ids the last successful queue() gave its pages, in order; empty without a page store.
    const QList<qint64>& lastIds() const { return m_lastIds; }

    // The checks of one page, without writing anything.
    std::optional<Refusal> check(const QueueSubmission& submission) const;

    // Checks every page of one client and, when all pass, writes them to the queue file with one
    // write, then shows each. When one is refused, a company's section has no free key left
    // ("Queue Full") or the queue file cannot be written ("Queue Unavailable", with a line in
    // the Connection Log and Log.Dat), nothing is written.
    // `origins` say, in the pages' order, what the page store keeps of each beyond its entry.
    std::optional<Refusal> queue(const QList<QueueSubmission>& submissions,
                                 const QList<PageOrigin>& origins = {});

    // The pages of one client, and what became of them.
    struct Transaction
    {
        QList<QueueSubmission> submissions;
        // What the page store keeps of each page beyond its entry, in the pages' order.
        QList<PageOrigin> origins;
        // After writeAll(): the refusal, or nothing and the pages' ids (empty without a page
        // store).
        std::optional<Refusal> refusal;
        QList<qint64> ids;
    };
    // The transactions of several clients, each checked as queue() checks it, and those that
    // pass written with one write, so that they share one durable write; each gets its own
    // refusal or ids, as if it had been queued alone. When the shared write finds a company's
    // section without a free key, each is written alone, so only those that do not fit are
    // refused. When the shared write fails, every one of them is "Queue Unavailable" (with its
    // sender's line in the Connection Log and Log.Dat). The queued ones are not shown yet:
    // showQueued() does that for each, so that a log that fails for one fails that one alone.
    void writeAll(QList<Transaction>& transactions);
    // The pages of a transaction that writeAll() queued, shown in the "Connection Log" and
    // Log.Dat with their ids.
    void showQueued(const Transaction& transaction);

private:
    // The six lines of one page in the "Connection Log" and Log.Dat.
    void show(const QueueSubmission& submission);
    // One write of the pages, through the page store when there is one: false when a section is
    // full. Their ids (empty without a page store) go to `ids`.
    bool write(const QList<QueueSubmission>& submissions, const QList<PageOrigin>& origins,
               QList<qint64>& ids);
    // The refusal of the first page of `transaction` that fails its checks.
    std::optional<Refusal> firstRefusal(const QList<QueueSubmission>& submissions) const;
    // The write failed: the sender's line in the Connection Log and Log.Dat.
    void notQueued(const QList<QueueSubmission>& submissions, const QByteArray& why);

    Admission m_admission;
    IServerStatus& m_status;
    ILogSinks& m_log;
    PageQueue* m_pages = nullptr;
    FrontEnd m_frontEnd = FrontEnd::Unknown;
    QList<qint64> m_lastIds;
};
