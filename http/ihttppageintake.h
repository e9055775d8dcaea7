#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The front end a page came in through, as the metrics name it.
enum class HttpFrontend { Http, Alertmanager };

// One request to page: every pager ID it names gets the same text.
struct HttpPageRequest
{
    QList<QByteArray> pagerIds; // shared user, shared group or PIN@Company, as sent
    QByteArray message;         // one line of the system's 8-bit text
    QByteArray subject;         // empty when none was given
    std::optional<QDateTime> holdUntil;
    HttpFrontend frontend = HttpFrontend::Http;
    QByteArray sender; // the client's real address, dotted decimal

    bool operator==(const HttpPageRequest&) const = default;
};

// A page the queue took: the id it is known by from now on and the pager it goes to.
struct HttpQueuedPage
{
    QString id;
    QByteArray to;

    bool operator==(const HttpQueuedPage&) const = default;
};

// The queue's answer to a request: all of its pages queued, durably, or none.
struct HttpIntakeResult
{
    enum class Outcome {
        Queued,
        Malformed,        // detail: what is wrong with the request
        UnknownPager,     // detail: the pager ID that names nobody
        PagerRefused,     // detail: the pager ID and why it can never be paged (a PIN too long)
        NumberNotAllowed, // detail: the pager ID, or the access number, that may not be dialled
        TooLong,          // detail: the pager ID whose company cannot take the text whole
        Unavailable,      // detail: why the queue cannot be written now
    };

    Outcome outcome = Outcome::Queued;
    QByteArray detail;
    QList<HttpQueuedPage> pages; // Queued: one per pager, a group's members each one

    static HttpIntakeResult refused(Outcome outcome, const QByteArray& detail)
    {
        return HttpIntakeResult{outcome, detail, {}};
    }
};

// The way into the server's queue for the HTTP front end: the same checks, log lines and
// counting as every other front end's pages.
class IHttpPageIntake
{
public:
    virtual ~IHttpPageIntake() = default;

    // Checks every pager ID and the text, and queues the pages only when all pass. Answers
    // Queued only after the queue and the page store have reached the disk.
    virtual HttpIntakeResult submit(const HttpPageRequest& request) = 0;

    // True when `text` goes out whole (within the 20 blocks of one page) to every pager that
    // `pagerId` names, at its company's message length. False for a pager ID that names nobody.
    virtual bool fits(const QByteArray& pagerId, const QByteArray& text) const = 0;
};
