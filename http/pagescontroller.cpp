#include "http/pagescontroller.h"

#include "foundation/widgettext.h"
#include "http/ihttppageintake.h"
#include "http/ihttppagestatus.h"
#include "http/pagejson.h"
#include "http/pagerequestparser.h"

#include <QJsonArray>

PagesController::PagesController(IHttpPageIntake& intake, const IHttpPageStatus& status)
    : m_intake(intake), m_status(status)
{
}

HttpAnswer PagesController::submit(const QJsonObject& body, const QByteArray& sender)
{
    std::variant<HttpPageRequest, QByteArray> parsed = PageRequestParser::parse(body);
    if (const QByteArray* problem = std::get_if<QByteArray>(&parsed))
        return HttpAnswer::error(400, *problem);
    HttpPageRequest& request = std::get<HttpPageRequest>(parsed);
    request.sender = sender;
    return answer(m_intake.submit(request));
}

HttpAnswer PagesController::page(const QString& id) const
{
    const std::optional<HttpPageRecord> record = m_status.page(id);
    if (!record)
        return HttpAnswer::error(404, "no page has the id " + WidgetText::toBytes(id).left(100));
    return HttpAnswer{200, PageJson::record(*record)};
}

HttpAnswer PagesController::answer(const HttpIntakeResult& result)
{
    using Outcome = HttpIntakeResult::Outcome;
    switch (result.outcome) {
    case Outcome::Queued: {
        QJsonArray pages;
        for (const HttpQueuedPage& page : result.pages) {
            pages.append(QJsonObject{{QStringLiteral("id"), page.id},
                                     {QStringLiteral("to"), WidgetText::fromBytes(page.to)},
                                     {QStringLiteral("state"), QStringLiteral("queued")}});
        }
        return HttpAnswer{202, QJsonObject{{QStringLiteral("pages"), pages}}};
    }
    case Outcome::Malformed:
        return HttpAnswer::error(400, result.detail);
    case Outcome::UnknownPager:
        return HttpAnswer::error(422, "unknown pager: " + result.detail);
    case Outcome::PagerRefused:
        return HttpAnswer::error(422, "pager refused: " + result.detail);
    case Outcome::NumberNotAllowed:
        return HttpAnswer::error(422, "number not allowed: " + result.detail);
    case Outcome::TooLong:
        return HttpAnswer::error(413, "message too long for " + result.detail);
    case Outcome::Unavailable:
        return HttpAnswer::error(503, "queue unavailable: " + result.detail);
    }
    return HttpAnswer::error(500, "unexpected answer of the queue");
}
