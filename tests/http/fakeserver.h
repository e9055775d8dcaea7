#pragma once

#include "http/ihttpaccess.h"
#include "http/ihttpmetrics.h"
#include "http/ihttppageintake.h"
#include "http/ihttppagestatus.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>

// The server behind the HTTP front end, as the tests need it: a small directory of pagers
// (alice; the group ops of bob and carol; dave, whose company's number is not allowed; and
// PIN@Metro), an allow list, a queue that takes pages into a page store, and counters. Texts
// are measured with the paging engine's block builder, as the real queue does.
class FakeServer final : public IHttpAccess,
                         public IHttpPageIntake,
                         public IHttpPageStatus,
                         public IHttpMetrics
{
public:
    struct Pager
    {
        QByteArray name;
        QByteArray pin;
        QByteArray company;
        QByteArray number;
        int length = 80;
    };

    FakeServer();

    bool addressAdmitted(const QByteArray& address) const override;

    HttpIntakeResult submit(const HttpPageRequest& request) override;
    bool fits(const QByteArray& pagerId, const QByteArray& text) const override;

    std::optional<HttpPageRecord> page(const QString& id) const override;
    QList<HttpPageRecord> recentPages(int count) const override;
    QList<HttpCompanyQueue> queuedByCompany() const override;
    std::optional<QDateTime> nextCheck() const override { return m_nextCheck; }
    std::optional<HttpCallInProgress> callInProgress() const override { return m_call; }
    std::optional<QByteArray> queueProblem() const override { return m_problem; }

    HttpMetricsSnapshot snapshot() const override { return m_metrics; }

    // The pages as the queue took them, in order.
    const QList<HttpPageRecord>& queued() const { return m_pages; }
    const QList<HttpPageRequest>& requests() const { return m_requests; }
    // A page reaches a final state.
    void finish(const QString& id, HttpPageState state, const QByteArray& reason = {});

    QSet<QByteArray> denied;
    bool unavailable = false;
    std::optional<QByteArray> m_problem;
    std::optional<QDateTime> m_nextCheck;
    std::optional<HttpCallInProgress> m_call;
    HttpMetricsSnapshot m_metrics;

private:
    QList<Pager> resolve(const QByteArray& pagerId) const;

    QHash<QByteArray, QList<Pager>> m_directory;
    QSet<QByteArray> m_allowed;
    QList<HttpPageRecord> m_pages;
    QList<HttpPageRequest> m_requests;
    int m_nextId = 1000;
};
