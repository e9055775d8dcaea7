#include "http/pagejson.h"

#include "foundation/widgettext.h"

#include <QJsonArray>

QByteArray httpPageStateName(HttpPageState state)
{
    switch (state) {
    case HttpPageState::Queued:
        return "queued";
    case HttpPageState::Held:
        return "held";
    case HttpPageState::Sending:
        return "sending";
    case HttpPageState::Delivered:
        return "delivered";
    case HttpPageState::Failed:
        return "failed";
    case HttpPageState::Expired:
        return "expired";
    case HttpPageState::Cancelled:
        return "cancelled";
    }
    return "unknown";
}

QString PageJson::time(const QDateTime& when)
{
    if (!when.isValid())
        return QString();
    return when.toUTC().toString(Qt::ISODate);
}

QJsonObject PageJson::record(const HttpPageRecord& page)
{
    const auto text = [](const QByteArray& bytes) { return WidgetText::fromBytes(bytes); };
    QJsonArray history;
    for (const HttpPageEvent& event : page.history) {
        history.append(QJsonObject{{QStringLiteral("at"), time(event.at)},
                                   {QStringLiteral("state"), text(httpPageStateName(event.state))},
                                   {QStringLiteral("reason"), text(event.reason)}});
    }
    return QJsonObject{{QStringLiteral("id"), page.id},
                       {QStringLiteral("to"), text(page.to)},
                       {QStringLiteral("pin"), text(page.pin)},
                       {QStringLiteral("company"), text(page.company)},
                       {QStringLiteral("state"), text(httpPageStateName(page.state))},
                       {QStringLiteral("reason"), text(page.reason)},
                       {QStringLiteral("accepted_at"), time(page.acceptedAt)},
                       {QStringLiteral("updated_at"), time(page.updatedAt)},
                       {QStringLiteral("history"), history}};
}
