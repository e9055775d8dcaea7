#include "http/metricstext.h"

namespace {

void family(QByteArray& out, const char* name, const char* type, const char* help)
{
    out += QByteArray("# HELP ") + name + ' ' + help + '\n';
    out += QByteArray("# TYPE ") + name + ' ' + type + '\n';
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 17);
}

} // namespace

QByteArray MetricsText::labelValue(const QByteArray& value)
{
    QByteArray out;
    for (const char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

QByteArray MetricsText::render(const HttpMetricsSnapshot& m)
{
    QByteArray out;
    family(out, "zelkor_pages_accepted_total", "counter",
           "Pages accepted into the queue, by the front end they came in through.");
    const std::pair<const char*, quint64> accepted[] = {{"workstation", m.acceptedWorkstation},
                                                        {"snpp", m.acceptedSnpp},
                                                        {"http", m.acceptedHttp},
                                                        {"alertmanager", m.acceptedAlertmanager}};
    for (const auto& [frontend, count] : accepted) {
        out += QByteArray("zelkor_pages_accepted_total{frontend=\"") + frontend + "\"} " +
               QByteArray::number(count) + '\n';
    }
    family(out, "zelkor_pages_delivered_total", "counter",
           "Pages the paging terminal acknowledged.");
    out += "zelkor_pages_delivered_total " + QByteArray::number(m.delivered) + '\n';
    family(out, "zelkor_pages_failed_total", "counter",
           "Pages refused by the paging terminal or the engine.");
    out += "zelkor_pages_failed_total " + QByteArray::number(m.failed) + '\n';
    family(out, "zelkor_pages_expired_total", "counter", "Pages that grew too old to send.");
    out += "zelkor_pages_expired_total " + QByteArray::number(m.expired) + '\n';
    family(out, "zelkor_pages_queued", "gauge", "Pages in the queue now.");
    out += "zelkor_pages_queued " + QByteArray::number(m.queued) + '\n';
    family(out, "zelkor_calls_total", "counter", "Calls to paging terminals.");
    out += "zelkor_calls_total " + QByteArray::number(m.calls) + '\n';
    family(out, "zelkor_calls_failed_total", "counter",
           "Calls that did not get through to the paging terminal.");
    out += "zelkor_calls_failed_total " + QByteArray::number(m.callsFailed) + '\n';
    family(out, "zelkor_line_seconds_total", "counter", "Seconds the modem held a line.");
    out += "zelkor_line_seconds_total " + number(m.lineSeconds) + '\n';
    family(out, "zelkor_last_check_timestamp_seconds", "gauge",
           "When the queue was last checked, in seconds since 1970 (0: not yet).");
    const double lastCheck = m.lastCheck && m.lastCheck->isValid()
                                 ? double(m.lastCheck->toMSecsSinceEpoch()) / 1000.0
                                 : 0.0;
    out += "zelkor_last_check_timestamp_seconds " + number(lastCheck) + '\n';
    family(out, "zelkor_build_info", "gauge", "The server's version, as a label.");
    out += "zelkor_build_info{version=\"" + labelValue(m.version) + "\"} 1\n";
    return out;
}
