#include "http/pagerequestparser.h"

#include "foundation/widgettext.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QRegularExpression>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n');
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0);
}

std::optional<QByteArray> pagerId(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // A user or group name is one word; in PIN@Company the company's name may hold blanks, as
    // the company list's names do ("1001@Metro Paging").
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool blankInCompany = at >= 0 && i > at && c == QLatin1Char(' ');
        if (isControl(c) || (c.isSpace() && !blankInCompany))
            return std::nullopt;
    }
    return WidgetText::toBytes(text);
}

} // namespace

std::optional<QByteArray> PageRequestParser::lineText(const QString& text)
{
    QString line;
    line.reserve(text.size());
    bool blank = false;
    for (const QChar c : text) {
        if (isBlank(c)) {
            blank = true;
            continue;
        }
        if (isControl(c))
            return std::nullopt;
        if (blank && !line.isEmpty())
            line.append(QLatin1Char(' '));
        blank = false;
        line.append(c);
    }
    return WidgetText::toBytes(line);
}

std::optional<QDateTime> PageRequestParser::parseTime(const QString& text)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2}[Tt ]\\d{2}:\\d{2}:\\d{2}(\\.\\d+)?([Zz]|[+-]\\d{2}:\\d{2})$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    QString iso = text;
    iso[10] = QLatin1Char('T');
    if (iso.endsWith(QLatin1Char('z')))
        iso[iso.size() - 1] = QLatin1Char('Z');
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::variant<HttpPageRequest, QByteArray> PageRequestParser::parse(const QJsonObject& body)
{
    HttpPageRequest request;
    const QJsonValue to = body.value(QStringLiteral("to"));
    if (to.isUndefined() || to.isNull())
        return QByteArray("missing field: to");
    if (to.isArray()) {
        const QJsonArray list = to.toArray();
        if (list.isEmpty())
            return QByteArray("to names no pager");
        if (list.size() > MaxPagerIds)
            return "to names more than " + QByteArray::number(MaxPagerIds) + " pagers";
        for (const QJsonValue& entry : list) {
            const std::optional<QByteArray> id = pagerId(entry);
            if (!id)
                return QByteArray(
                    "to must hold pager IDs: strings without blanks but in a company's name");
            request.pagerIds.append(*id);
        }
    } else {
        const std::optional<QByteArray> id = pagerId(to);
        if (!id)
            return QByteArray("to must be a pager ID or a list of them");
        request.pagerIds.append(*id);
    }

    const QJsonValue message = body.value(QStringLiteral("message"));
    if (message.isUndefined() || message.isNull())
        return QByteArray("missing field: message");
    if (!message.isString())
        return QByteArray("message must be a string");
    const std::optional<QByteArray> text = lineText(message.toString());
    if (!text)
        return QByteArray("message holds control characters");
    if (text->isEmpty())
        return QByteArray("message is empty");
    request.message = *text;

    const QJsonValue subject = body.value(QStringLiteral("subject"));
    if (!subject.isUndefined() && !subject.isNull()) {
        if (!subject.isString())
            return QByteArray("subject must be a string");
        const std::optional<QByteArray> line = lineText(subject.toString());
        if (!line)
            return QByteArray("subject holds control characters");
        request.subject = *line;
    }

    const QJsonValue hold = body.value(QStringLiteral("hold_until"));
    if (!hold.isUndefined() && !hold.isNull()) {
        const std::optional<QDateTime> time =
            hold.isString() ? parseTime(hold.toString()) : std::nullopt;
        if (!time)
            return QByteArray("hold_until must be an RFC 3339 time, such as "
                              "2026-12-07T17:40:00Z");
        request.holdUntil = *time;
    }
    request.frontend = HttpFrontend::Http;
    return request;
}
