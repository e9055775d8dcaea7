#pragma once

#include "directories/pagingcompany.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <functional>
#include <optional>

// One page of a transaction, ready to queue: to one pager of one paging company.
struct SnppPage
{
    QByteArray pagerId; // as the client gave it
    QByteArray pin;
    PagingCompany company;
    QByteArray message;  // one line: what the queue stores and the pager shows
    QDateTime holdUntil; // UTC; not valid: at once
    QByteArray callerId; // the sender's own name for itself (CALLerid), if any

    bool operator==(const SnppPage&) const = default;
};

// The answer of the queue to a transaction.
struct PageSinkResult
{
    enum class Status {
        Queued,           // every page is in the queue, durably
        Busy,             // the queue is being delivered: try again when the run is over
        NumberNotAllowed, // detail: the access number
        Rejected,         // detail: the short reason; the page itself cannot be taken
        Unavailable,      // detail: the short reason; the queue cannot take pages now
        Failed, // the server failed while taking them (and told the operator): whether they
                // were queued is not known
    };

    Status status = Status::Queued;
    QByteArray detail;
    QList<qint64> ids = {}; // Queued: the pages' ids, when the queue gives them ids
};

// Where a transaction's pages go: the server's queue. A transaction is queued whole or not at
// all, with the same checks, log lines and counting as a workstation's page.
class IPageSink
{
public:
    virtual ~IPageSink() = default;

    // `sender` is the client's real address.
    virtual PageSinkResult queue(const QList<SnppPage>& pages, const QByteArray& sender) = 0;

    // Queues the pages together with those other clients hand in meanwhile, with one durable
    // write for all of them. `answer` gets what queue() would have given, once and later (never
    // from within this call), unless withdraw() comes first with the ticket given here. A sink
    // that writes each transaction alone gives no ticket: queue() is used instead.
    using Answer = std::function<void(const PageSinkResult& result)>;
    virtual std::optional<quint64> queueLater(const QList<SnppPage>&, const QByteArray&, Answer)
    {
        return std::nullopt;
    }
    // The client has gone: unless their write has begun, its pages are not queued and no
    // answer comes.
    virtual void withdraw(quint64) {}

    // The gateway refused what `sender` gave for `pagerId` (or for the transaction's pagers,
    // when empty): shown to the operator with the short reason.
    virtual void refused(const QByteArray& sender, const QByteArray& pagerId,
                         const QByteArray& reason) = 0;
};
