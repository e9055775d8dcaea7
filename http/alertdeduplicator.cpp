#include "http/alertdeduplicator.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

qint64 steadyMilliseconds()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.elapsed();
}

} // namespace

AlertDeduplicator::AlertDeduplicator(Clock clock, qint64 windowMs, int capacity)
    : m_clock(clock ? std::move(clock) : Clock(steadyMilliseconds)), m_windowMs(windowMs),
      m_capacity(capacity)
{
}

QByteArray AlertDeduplicator::keyOf(const QByteArray& to, const QJsonObject& notification)
{
    QList<QByteArray> fingerprints;
    for (const QJsonValue& alert : notification.value(QStringLiteral("alerts")).toArray()) {
        const QJsonObject object = alert.toObject();
        const QString fingerprint = object.value(QStringLiteral("fingerprint")).toString();
        // QJsonObject keeps its keys sorted, so equal labels give equal text.
        fingerprints.append(fingerprint.isEmpty()
                                ? QJsonDocument(object.value(QStringLiteral("labels")).toObject())
                                      .toJson(QJsonDocument::Compact)
                                : fingerprint.toUtf8());
    }
    std::sort(fingerprints.begin(), fingerprints.end());
    fingerprints.erase(std::unique(fingerprints.begin(), fingerprints.end()), fingerprints.end());

    // Length-prefixed parts, so no part can run into the next.
    QByteArray key;
    const auto add = [&key](const QByteArray& part) {
        key += QByteArray::number(part.size()) + ':' + part;
    };
    add(to.toLower());
    add(notification.value(QStringLiteral("groupKey")).toString().toUtf8());
    add(notification.value(QStringLiteral("status")).toString().toUtf8());
    for (const QByteArray& fingerprint : std::as_const(fingerprints))
        add(fingerprint);
    return QCryptographicHash::hash(key, QCryptographicHash::Sha256);
}

std::optional<QList<HttpQueuedPage>> AlertDeduplicator::queuedBefore(const QByteArray& key)
{
    forgetOld(m_clock());
    const auto found = m_pages.constFind(key);
    if (found == m_pages.cend())
        return std::nullopt;
    return found->second;
}

void AlertDeduplicator::remember(const QByteArray& key, const QList<HttpQueuedPage>& pages)
{
    const qint64 now = m_clock();
    forgetOld(now);
    m_pages.insert(key, {now, pages});
    m_order.push_back({now, key});
    while (static_cast<int>(m_pages.size()) > m_capacity && !m_order.empty()) {
        const Seen oldest = m_order.front();
        m_order.pop_front();
        const auto found = m_pages.constFind(oldest.key);
        if (found != m_pages.cend() && found->first == oldest.at)
            m_pages.erase(found);
    }
}

void AlertDeduplicator::forgetOld(qint64 now)
{
    while (!m_order.empty() && now - m_order.front().at >= m_windowMs) {
        const Seen oldest = m_order.front();
        m_order.pop_front();
        const auto found = m_pages.constFind(oldest.key);
        // A key remembered again later keeps its newer time.
        if (found != m_pages.cend() && found->first == oldest.at)
            m_pages.erase(found);
    }
}
