#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// Where a page stands. Delivered, failed, expired and cancelled are final.
enum class HttpPageState { Queued, Held, Sending, Delivered, Failed, Expired, Cancelled };

// One step of a page's life: the state it reached, when, and why (empty unless failed or
// expired, or a note the store keeps).
struct HttpPageEvent
{
    QDateTime at;
    HttpPageState state = HttpPageState::Queued;
    QByteArray reason;

    bool operator==(const HttpPageEvent&) const = default;
};

// A page as the page store keeps it.
struct HttpPageRecord
{
    QString id;
    QByteArray to; // the pager ID it was sent to
    QByteArray pin;
    QByteArray company;
    HttpPageState state = HttpPageState::Queued;
    QByteArray reason; // empty unless failed or expired
    QDateTime acceptedAt;
    QDateTime updatedAt;
    QList<HttpPageEvent> history; // oldest first; may be left empty in lists of pages

    bool operator==(const HttpPageRecord&) const = default;
};

// The pages waiting for one paging company.
struct HttpCompanyQueue
{
    QByteArray company; // the access number, as the queue knows the company
    int pages = 0;
    QByteArray name; // the company's name in the company list, empty when none has the number

    bool operator==(const HttpCompanyQueue&) const = default;
};

// The call being made now.
struct HttpCallInProgress
{
    QByteArray company;
    QDateTime since;
};

// What the HTTP front end shows of the server: its pages, its queue and its calls.
class IHttpPageStatus
{
public:
    virtual ~IHttpPageStatus() = default;

    // A page by its id, with its history; nothing when no page has that id.
    virtual std::optional<HttpPageRecord> page(const QString& id) const = 0;
    // The latest `count` pages accepted, newest first.
    virtual QList<HttpPageRecord> recentPages(int count) const = 0;
    // The pages in the queue, per paging company.
    virtual QList<HttpCompanyQueue> queuedByCompany() const = 0;
    // When the next check is due; nothing when no check is planned.
    virtual std::optional<QDateTime> nextCheck() const = 0;
    virtual std::optional<HttpCallInProgress> callInProgress() const = 0;
    // Why pages cannot be queued now (the queue's folder cannot be written, ...); nothing when
    // they can.
    virtual std::optional<QByteArray> queueProblem() const = 0;
};

// The state as the API and the status page spell it: "queued", "held", ...
QByteArray httpPageStateName(HttpPageState state);
