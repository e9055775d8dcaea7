#include "http/alertmanagercontroller.h"

#include "http/alerttext.h"
#include "http/ihttppageintake.h"
#include "http/pagescontroller.h"

#include <QJsonArray>

namespace {

bool isPagerId(const QByteArray& to)
{
    if (to.isEmpty() || to.size() > 200)
        return false;
    for (const char c : to) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

} // namespace

AlertmanagerController::AlertmanagerController(IHttpPageIntake& intake,
                                               AlertDeduplicator::Clock clock)
    : m_intake(intake), m_seen(std::move(clock))
{
}

HttpAnswer AlertmanagerController::notify(const QByteArray& to, const QJsonObject& notification,
                                          const QByteArray& sender)
{
    if (!isPagerId(to))
        return HttpAnswer::error(400, "the path must end in a pager ID");
    const QJsonValue version = notification.value(QStringLiteral("version"));
    if (!version.isUndefined() && version.toString() != QStringLiteral("4"))
        return HttpAnswer::error(400, "only version 4 of Alertmanager's webhook is understood");
    const std::optional<AlertText::Parts> parts = AlertText::parts(notification);
    if (!parts)
        return HttpAnswer::error(400, "not an Alertmanager notification (no status or alerts)");

    const QByteArray key = AlertDeduplicator::keyOf(to, notification);
    if (const std::optional<QList<HttpQueuedPage>> before = m_seen.queuedBefore(key)) {
        HttpAnswer answer =
            PagesController::answer({HttpIntakeResult::Outcome::Queued, {}, *before});
        answer.status = 200;
        answer.body.insert(QStringLiteral("duplicate"), true);
        return answer;
    }

    // When not even the heading fits, the queue is handed the heading anyway and says why
    // (an unknown pager, a text too long for its company).
    const QByteArray text = AlertText::fit(*parts, [&](const QByteArray& page) {
                                return m_intake.fits(to, page);
                            }).value_or(AlertText::heading(*parts, false));
    HttpPageRequest request;
    request.pagerIds = {to};
    request.message = text;
    request.frontend = HttpFrontend::Alertmanager;
    request.sender = sender;
    const HttpIntakeResult result = m_intake.submit(request);
    HttpAnswer answer = PagesController::answer(result);
    if (result.outcome == HttpIntakeResult::Outcome::Queued)
        m_seen.remember(key, result.pages);
    else if (result.outcome != HttpIntakeResult::Outcome::Malformed)
        answer.status = 503;
    return answer;
}
