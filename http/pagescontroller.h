#pragma once

#include "http/httpanswer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class IHttpPageIntake;
class IHttpPageStatus;
struct HttpIntakeResult;

// POST /api/v1/pages and GET /api/v1/pages/{id}: pages handed in by scripts and monitoring
// systems, and what became of them.
class PagesController final
{
public:
    PagesController(IHttpPageIntake& intake, const IHttpPageStatus& status);

    // 202 {"pages": [{"id", "to", "state": "queued"}]} once every page is queued, durably;
    // 400 for a malformed request, 422 naming the pager or number refused, 413 for a text too
    // long, 503 when the queue cannot be written. Nothing is queued unless everything is.
    HttpAnswer submit(const QJsonObject& body, const QByteArray& sender);

    // 200 with the page and its history, 404 for an id no page has.
    HttpAnswer page(const QString& id) const;

    // The answer for what the queue said: 202 with the pages, or the refusal.
    static HttpAnswer answer(const HttpIntakeResult& result);

private:
    IHttpPageIntake& m_intake;
    const IHttpPageStatus& m_status;
};
