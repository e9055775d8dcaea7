#include "http/alerttext.h"

#include "http/pagerequestparser.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

const QByteArray Ellipsis = "...";

QByteArray annotation(const QJsonObject& annotations)
{
    for (const QString& key : {QStringLiteral("summary"), QStringLiteral("description")}) {
        const QJsonValue value = annotations.value(key);
        if (value.isString()) {
            // Alertmanager's texts may span lines; a page is one line, and a control character
            // in an annotation is dropped rather than refusing the alert.
            QString text = value.toString();
            for (QChar& c : text) {
                if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
                    c = QLatin1Char(' ');
            }
            const QByteArray line = PageRequestParser::lineText(text).value_or(QByteArray());
            if (!line.isEmpty())
                return line;
        }
    }
    return QByteArray();
}

// The longest cut of `summary` after a word for which `page(cut)` fits: a binary search over
// the places between words, then, should the rule not grow with the length everywhere, the
// nearest shorter place that fits.
std::optional<QByteArray> longestCut(const QByteArray& summary,
                                     const std::function<bool(const QByteArray&)>& fits,
                                     const std::function<QByteArray(const QByteArray&)>& page)
{
    QList<qsizetype> ends; // a word ends before each of these
    for (qsizetype i = 1; i < summary.size(); ++i) {
        if (summary[i] == ' ' && summary[i - 1] != ' ')
            ends.append(i);
    }
    const auto cut = [&](qsizetype n) { return page(summary.left(ends[n]) + Ellipsis); };
    qsizetype low = 0, high = ends.size() - 1, best = -1;
    while (low <= high) {
        const qsizetype middle = low + (high - low) / 2;
        if (fits(cut(middle))) {
            best = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    if (best < 0)
        return std::nullopt;
    return cut(best);
}

} // namespace

std::optional<AlertText::Parts> AlertText::parts(const QJsonObject& notification)
{
    const QJsonValue status = notification.value(QStringLiteral("status"));
    const QJsonValue alerts = notification.value(QStringLiteral("alerts"));
    if (!status.isString() || !alerts.isArray())
        return std::nullopt;
    Parts parts;
    parts.status = PageRequestParser::lineText(status.toString()).value_or("?").toUpper();
    const QJsonArray list = alerts.toArray();
    // Alertmanager leaves alerts out beyond its receiver's max_alerts and says how many.
    const int truncated = notification.value(QStringLiteral("truncatedAlerts")).toInt();
    parts.count = static_cast<int>(list.size()) + qMax(truncated, 0);

    const auto nameIn = [](const QJsonValue& labels) {
        return PageRequestParser::lineText(
                   labels.toObject().value(QStringLiteral("alertname")).toString())
            .value_or(QByteArray());
    };
    parts.name = nameIn(notification.value(QStringLiteral("groupLabels")));
    if (parts.name.isEmpty())
        parts.name = nameIn(notification.value(QStringLiteral("commonLabels")));
    if (parts.name.isEmpty() && !list.isEmpty())
        parts.name = nameIn(list.first().toObject().value(QStringLiteral("labels")));

    // A summary the alerts share is said once; otherwise each alert's, each text once.
    QByteArray common =
        annotation(notification.value(QStringLiteral("commonAnnotations")).toObject());
    if (!common.isEmpty()) {
        parts.summary = common;
        return parts;
    }
    QList<QByteArray> seen;
    for (const QJsonValue& alert : list) {
        const QByteArray text =
            annotation(alert.toObject().value(QStringLiteral("annotations")).toObject());
        if (!text.isEmpty() && !seen.contains(text))
            seen.append(text);
    }
    parts.summary = seen.join("; ");
    return parts;
}

QByteArray AlertText::heading(const Parts& parts, bool withCount)
{
    QByteArray text = '[' + parts.status;
    if (withCount)
        text += ':' + QByteArray::number(parts.count);
    text += ']';
    if (!parts.name.isEmpty())
        text += ' ' + parts.name;
    return text;
}

std::optional<QByteArray> AlertText::fit(const Parts& parts,
                                         const std::function<bool(const QByteArray&)>& fits)
{
    for (const bool withCount : {true, false}) {
        const QByteArray head = heading(parts, withCount);
        if (parts.summary.isEmpty()) {
            if (fits(head))
                return head;
            continue;
        }
        const auto page = [&head](const QByteArray& summary) { return head + ": " + summary; };
        if (fits(page(parts.summary)))
            return page(parts.summary);
        if (const std::optional<QByteArray> cut = longestCut(parts.summary, fits, page))
            return cut;
    }
    for (const bool withCount : {true, false}) {
        if (fits(heading(parts, withCount)))
            return heading(parts, withCount);
    }
    return std::nullopt;
}
