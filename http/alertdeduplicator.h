#pragma once

#include "http/ihttppageintake.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>

#include <deque>
#include <functional>

// Remembers the Alertmanager notifications that were queued, for a while: the members of an
// Alertmanager cluster each send the same notification, and a pager should get it once. Two
// notifications are the same when they go to the same pager ID with the same group key,
// status and set of alert fingerprints.
class AlertDeduplicator final
{
public:
    // Milliseconds of a clock that only moves forward.
    using Clock = std::function<qint64()>;

    static constexpr qint64 DefaultWindowMs = 10 * 60 * 1000;
    // The most notifications remembered; beyond it the oldest are forgotten first.
    static constexpr int DefaultCapacity = 10000;

    explicit AlertDeduplicator(Clock clock = {}, qint64 windowMs = DefaultWindowMs,
                               int capacity = DefaultCapacity);

    // What makes a notification the one it is. An alert without a fingerprint is known by its
    // labels.
    static QByteArray keyOf(const QByteArray& to, const QJsonObject& notification);

    // The pages an equal notification was queued as within the window; nothing when there was
    // none.
    std::optional<QList<HttpQueuedPage>> queuedBefore(const QByteArray& key);
    void remember(const QByteArray& key, const QList<HttpQueuedPage>& pages);

    int size() const { return static_cast<int>(m_pages.size()); }

private:
    void forgetOld(qint64 now);

    struct Seen
    {
        qint64 at;
        QByteArray key;
    };

    Clock m_clock;
    qint64 m_windowMs;
    int m_capacity;
    std::deque<Seen> m_order; // oldest first
    QHash<QByteArray, std::pair<qint64, QList<HttpQueuedPage>>> m_pages;
};
