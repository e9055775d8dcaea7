#include "http/statuscontroller.h"

#include "foundation/widgettext.h"
#include "http/ihttppagestatus.h"

#include <QList>
#include <QString>

namespace {

QString escaped(const QByteArray& bytes)
{
    return WidgetText::fromBytes(bytes).toHtmlEscaped();
}

QString shown(const QDateTime& when)
{
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QStringLiteral("-");
}

const char Style[] = "body{font-family:sans-serif;margin:0.6em;color:#222;background:#fff}"
                     "h1{font-size:1.3em;margin:0.2em 0}h2{font-size:1.1em;margin:1em 0 0.3em}"
                     "table{border-collapse:collapse;width:100%}"
                     "th,td{text-align:left;padding:0.25em 0.4em;border-bottom:1px solid #ddd;"
                     "vertical-align:top}"
                     ".reason{overflow-wrap:anywhere}.short{white-space:nowrap}"
                     "th{background:#f0f0f0}.num{text-align:right}p{margin:0.3em 0}"
                     ".state-failed,.state-expired{color:#a00;font-weight:bold}"
                     ".state-delivered{color:#060}.state-sending{color:#05a;font-weight:bold}"
                     ".wide{overflow-x:auto}"
                     "@media (max-width:600px){.extra{display:none}}";

} // namespace

StatusController::StatusController(const IHttpPageStatus& status) : m_status(status) {}

HttpAnswer StatusController::health() const
{
    if (const std::optional<QByteArray> problem = m_status.queueProblem())
        return HttpAnswer::error(503, *problem);
    return HttpAnswer{200, QJsonObject{{QStringLiteral("status"), QStringLiteral("ok")}}};
}

QByteArray StatusController::page(const QDateTime& now) const
{
    QString html;
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width, "
                           "initial-scale=1\">"
                           "<meta http-equiv=\"refresh\" content=\"%1\">"
                           "<title>Zelkor LAN Server</title><style>")
                .arg(RefreshSeconds);
    html += QLatin1String(Style);
    html += QStringLiteral("</style></head><body><h1>Zelkor LAN Server</h1>");
    html += QStringLiteral("<p>As of %1; this page reloads every %2 seconds.</p>")
                .arg(shown(now))
                .arg(RefreshSeconds);

    if (const std::optional<QByteArray> problem = m_status.queueProblem())
        html += QStringLiteral("<p class=\"state-failed\">Pages cannot be queued: %1</p>")
                    .arg(escaped(*problem));
    if (const std::optional<HttpCallInProgress> call = m_status.callInProgress()) {
        html += QStringLiteral("<p id=\"call\">Call in progress: <b>%1</b> since %2</p>")
                    .arg(escaped(call->company), shown(call->since));
    } else {
        html += QStringLiteral("<p id=\"call\">No call in progress.</p>");
    }
    const std::optional<QDateTime> next = m_status.nextCheck();
    html += QStringLiteral("<p id=\"next-check\">Next check: %1</p>")
                .arg(next ? shown(*next) : QStringLiteral("none planned"));

    const QList<HttpCompanyQueue> queues = m_status.queuedByCompany();
    int queued = 0;
    for (const HttpCompanyQueue& queue : queues)
        queued += queue.pages;
    html += QStringLiteral("<h2>Queued: <span id=\"queued\">%1</span></h2>").arg(queued);
    if (!queues.isEmpty()) {
        html += QStringLiteral("<table id=\"queue\"><tr><th>Company</th>"
                               "<th class=\"num\">Pages</th></tr>");
        for (const HttpCompanyQueue& queue : queues) {
            const QString company = queue.name.isEmpty()
                                        ? escaped(queue.company)
                                        : escaped(queue.name) + QStringLiteral(" (") +
                                              escaped(queue.company) + QLatin1Char(')');
            html += QStringLiteral("<tr><td>%1</td><td class=\"num\">%2</td></tr>")
                        .arg(company, QString::number(queue.pages));
        }
        html += QStringLiteral("</table>");
    }

    const QList<HttpPageRecord> pages = m_status.recentPages(RecentPages);
    html += QStringLiteral("<h2>Last pages: <span id=\"recent\">%1</span></h2>").arg(pages.size());
    html +=
        QStringLiteral("<div class=\"wide\"><table id=\"pages\"><tr><th>Accepted</th><th>To</th>"
                       "<th class=\"extra\">Company</th><th>State</th><th>Reason</th>"
                       "<th class=\"extra\">Id</th></tr>");
    for (const HttpPageRecord& page : pages) {
        const QString state = WidgetText::fromBytes(httpPageStateName(page.state));
        html +=
            QStringLiteral("<tr><td>%1</td><td class=\"short\">%2</td><td class=\"extra\">%3</td>"
                           "<td class=\"short state-%4\">%4</td><td class=\"reason\">%5</td>"
                           "<td class=\"extra\">%6</td></tr>")
                .arg(shown(page.acceptedAt), escaped(page.to), escaped(page.company), state,
                     escaped(page.reason), page.id.toHtmlEscaped());
    }
    html += QStringLiteral("</table></div></body></html>\n");
    return html.toUtf8();
}
