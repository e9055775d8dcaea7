#pragma once

#include "http/httpanswer.h"

#include <QByteArray>
#include <QDateTime>

class IHttpPageStatus;

// GET /healthz and GET /: whether the server can take pages, and what it is doing, for
// monitoring and for an operator with a browser.
class StatusController final
{
public:
    static constexpr int RecentPages = 100;
    static constexpr int RefreshSeconds = 15;

    explicit StatusController(const IHttpPageStatus& status);

    // 200 {"status": "ok"} while pages can be queued, 503 with the reason otherwise. Only a
    // running listener answers at all.
    HttpAnswer health() const;

    // The status page: plain HTML with everything inline, readable on a phone, reloading
    // itself: pages queued by company, the call in progress, the next check, the last pages
    // with their state and reason.
    QByteArray page(const QDateTime& now) const;

private:
    const IHttpPageStatus& m_status;
};
