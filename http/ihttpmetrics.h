#pragma once

#include <QByteArray>
#include <QDateTime>

#include <optional>

// The server's counters since it started, as GET /metrics publishes them.
struct HttpMetricsSnapshot
{
    quint64 acceptedWorkstation = 0;
    quint64 acceptedSnpp = 0;
    quint64 acceptedHttp = 0;
    quint64 acceptedAlertmanager = 0;
    quint64 delivered = 0;
    quint64 failed = 0;
    quint64 expired = 0;
    quint64 queued = 0; // pages in the queue now
    quint64 calls = 0;
    quint64 callsFailed = 0;
    double lineSeconds = 0; // time the modem held a line, in seconds
    std::optional<QDateTime> lastCheck;
    QByteArray version;
};

class IHttpMetrics
{
public:
    virtual ~IHttpMetrics() = default;

    virtual HttpMetricsSnapshot snapshot() const = 0;
};
