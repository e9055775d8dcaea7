#pragma once

#include "http/ihttpmetrics.h"
#include "http/ihttppagestatus.h"

class PageKeeping;
class ServerMeter;
class ServerState;

// What the HTTP front end shows of the running server: pages from the page store, the queue
// per company from the queue file, the countdown to the next check, the call in progress and the
// counters the server keeps. Reads everything afresh for every question. A failure to read
// never reaches the HTTP server: the answer is empty and the health check says why.
class HttpStatusView final : public IHttpPageStatus, public IHttpMetrics
{
public:
    HttpStatusView(const ServerState& state, PageKeeping& pages, const ServerMeter& meter);

    std::optional<HttpPageRecord> page(const QString& id) const override;
    QList<HttpPageRecord> recentPages(int count) const override;
    QList<HttpCompanyQueue> queuedByCompany() const override;
    std::optional<QDateTime> nextCheck() const override;
    std::optional<HttpCallInProgress> callInProgress() const override;
    std::optional<QByteArray> queueProblem() const override;

    HttpMetricsSnapshot snapshot() const override;

private:
    // The companies' names by their access numbers, from the company list.
    QHash<QByteArray, QByteArray> companyNames() const;
    // Runs a read of the page store; a store that cannot be read gives the empty answer, and
    // the health check reports it until a read succeeds again.
    template <typename Read> auto fromStore(Read read) const -> decltype(read());

    const ServerState& m_state;
    PageKeeping& m_pages;
    const ServerMeter& m_meter;
    mutable std::optional<QByteArray> m_storeProblem;
};
