#pragma once

#include "directories/pagingcompany.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

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

    // The gateway refused what `sender` gave for `pagerId` (or for the transaction's pagers,
    // when empty): shown to the operator with the short reason.
    virtual void refused(const QByteArray& sender, const QByteArray& pagerId,
                         const QByteArray& reason) = 0;
};
