#include "pages/pagepruner.h"

#include "pages/pagedatabase.h"
#include "pages/pagessettings.h"

namespace {

constexpr qint64 HourMs = 3600 * 1000;
constexpr qint64 DayMs = 24 * HourMs;

} // namespace

PagePruner::PagePruner(PageDatabase& db, qint64 now) : m_db(db), m_now(now) {}

QList<ReconcileReport::Removal> PagePruner::expire(const PagesSettings& settings)
{
    QList<ReconcileReport::Removal> expired;
    if (settings.maxAgeHours <= 0)
        return expired;
    const QByteArray reason =
        "Not sent within " + QByteArray::number(settings.maxAgeHours) +
        (settings.maxAgeHours == 1 ? QByteArray(" hour") : QByteArray(" hours"));
    PageDatabase::Transaction transaction(m_db);
    const QList<PageRecord> old = m_db.records(
        QStringLiteral("WHERE state IN ('queued', 'held') AND accepted_at < ? ORDER BY id"),
        {m_now - settings.maxAgeHours * HourMs});
    for (const PageRecord& page : old) {
        m_db.move(page.id, PageState::Expired, reason, {}, m_now);
        if (page.inQueue)
            expired.append({page.id, page.tie.section, {page.tie.key, page.tie.value}});
    }
    transaction.commit();
    return expired;
}

qint64 PagePruner::removeOld(const PagesSettings& settings)
{
    PageDatabase::Transaction transaction(m_db);
    const qint64 count = m_db.run(
        QStringLiteral("DELETE FROM pages WHERE state IN ('delivered', 'failed', 'expired', "
                       "'cancelled') AND in_queue = 0 AND notify <> ? AND finished_at < ?"),
        {int(PageDatabase::Due), m_now - qint64(settings.keepDays) * DayMs});
    transaction.commit();
    return count;
}
