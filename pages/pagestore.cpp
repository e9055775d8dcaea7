#include "pages/pagestore.h"

#include "pages/pagedatabase.h"
#include "pages/pagepruner.h"
#include "pages/pagestoreerror.h"
#include "pages/queuereconciler.h"
#include "queue/messagequeuefile.h"
#include "queue/queuedcompany.h"

#include <QHash>
#include <QSqlQuery>

namespace {

QString stateList(std::initializer_list<PageState> states)
{
    QStringList names;
    for (const PageState state : states)
        names.append(QLatin1Char('\'') + QString::fromLatin1(PageStates::name(state)) +
                     QLatin1Char('\''));
    return names.join(QLatin1Char(','));
}

const QString FinalStates =
    stateList({PageState::Delivered, PageState::Failed, PageState::Expired, PageState::Cancelled});
const QString LiveStates = stateList({PageState::Queued, PageState::Held, PageState::Sending});

QByteArray acceptedNote(const NewPage& page)
{
    QByteArray note =
        "accepted over " + PageStates::frontEndName(page.frontEnd) + " from " + page.entry.sender;
    if (!page.senderIdentity.isEmpty())
        note += " (" + page.senderIdentity + ')';
    return note;
}

} // namespace

PageStore::PageStore(const QString& dataDir, Clock clock, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_dataDir(dataDir)
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    m_db = std::make_unique<PageDatabase>(filePath());
}

PageStore::~PageStore() = default;

QString PageStore::filePath() const
{
    return m_dataDir + QLatin1Char('/') + FileName;
}

QDateTime PageStore::now() const
{
    return m_clock();
}

qint64 PageStore::nowMs() const
{
    return m_clock().toMSecsSinceEpoch();
}

QList<qint64> PageStore::accept(const QList<NewPage>& pages)
{
    const qint64 now = nowMs();
    PageDatabase::Transaction transaction(*m_db);
    QList<qint64> ids;
    for (const NewPage& page : pages) {
        const QueueTie tie{page.section, {}, page.entry.format()};
        ids.append(m_db->insert(page, PageState::Accepting, tie, false, acceptedNote(page), now));
    }
    transaction.commit();
    return ids;
}

void PageStore::confirmQueued(const QList<qint64>& ids, const QList<NewPage>& pages,
                              const QList<qint32>& numbers)
{
    if (ids.size() != numbers.size() || ids.size() != pages.size())
        throw EPageStoreError("Page store: " + QByteArray::number(ids.size()) + " pages, " +
                              QByteArray::number(pages.size()) + " records and " +
                              QByteArray::number(numbers.size()) + " queue keys");
    const qint64 now = nowMs();
    PageDatabase::Transaction transaction(*m_db);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const NewPage& page = pages[i];
        const QByteArray key = MessageQueueFile::messageKey(numbers[i]);
        // The time as accept() stored it and a read gives it back: whole milliseconds, UTC.
        const QVariant stored = PageDatabase::time(page.notBefore);
        const bool held = !stored.isNull() && stored.toLongLong() > now;
        const QByteArray note =
            held ? "held until " + PageDatabase::timeFrom(stored).toString(Qt::ISODate).toLatin1() +
                       " as " + key + " of [" + page.section + ']'
                 : "queued as " + key + " of [" + page.section + ']';
        m_db->confirm(ids[i], held ? PageState::Held : PageState::Queued, key, note, now);
    }
    transaction.commit();
}

void PageStore::abandon(const QList<qint64>& ids)
{
    PageDatabase::Transaction transaction(*m_db);
    for (const qint64 id : ids)
        m_db->run(QStringLiteral("DELETE FROM pages WHERE id = ? AND state = 'accepting'"), {id});
    transaction.commit();
}

QList<std::optional<qint64>> PageStore::idsOf(const QueuedCompany& company)
{
    // Pages still to be sent come first, so a final page whose removal a kill interrupted
    // never stands in for a live page that reuses its key and text.
    QHash<QByteArray, QList<qint64>> byIdentity;
    const QList<PageRecord> inFile = m_db->records(
        QStringLiteral("WHERE in_queue = 1 ORDER BY state NOT IN (%1), id").arg(LiveStates));
    for (const PageRecord& page : inFile)
        byIdentity[page.tie.identity()].append(page.id);
    QList<std::optional<qint64>> ids;
    for (const QueuedCompany::Message& message : company.messages) {
        QList<qint64>& candidates =
            byIdentity[QueueTie::identity(company.section, message.key, message.value)];
        if (candidates.isEmpty())
            ids.append(std::nullopt);
        else
            ids.append(candidates.takeFirst());
    }
    return ids;
}

bool PageStore::moveOne(qint64 id, PageState to, const QByteArray& reason, const QByteArray& note,
                        std::optional<PageState> from)
{
    PageDatabase::Transaction transaction(*m_db);
    if (!m_db->move(id, to, reason, note, nowMs(), from))
        return false;
    transaction.commit();
    if (PageStates::isFinal(to))
        emit pageFinished(id);
    return true;
}

bool PageStore::markSending(qint64 id)
{
    return moveOne(id, PageState::Sending, {}, "handed to the paging terminal");
}

bool PageStore::markDelivered(qint64 id)
{
    return moveOne(id, PageState::Delivered, {}, "acknowledged by the paging terminal");
}

bool PageStore::markFailed(qint64 id, const QByteArray& reason)
{
    return moveOne(id, PageState::Failed, reason, reason);
}

bool PageStore::requeue(qint64 id, const QByteArray& note)
{
    return moveOne(id, PageState::Queued, {}, note, PageState::Sending);
}

QList<qint64> PageStore::releaseDue()
{
    const qint64 now = nowMs();
    PageDatabase::Transaction transaction(*m_db);
    QList<qint64> ids;
    m_db->run(
        QStringLiteral("SELECT id FROM pages WHERE state = 'held' AND not_before <= ? ORDER BY id"),
        {now}, [&](const QSqlQuery& row) { ids.append(row.value(0).toLongLong()); });
    for (const qint64 id : ids)
        m_db->move(id, PageState::Queued, {}, "its time has come", now);
    transaction.commit();
    return ids;
}

QList<qint64> PageStore::markCancelled(const QByteArray& reason)
{
    const qint64 now = nowMs();
    PageDatabase::Transaction transaction(*m_db);
    QList<qint64> ids;
    m_db->run(QStringLiteral("SELECT id FROM pages WHERE state IN ('queued', 'held') ORDER BY id"),
              {}, [&](const QSqlQuery& row) { ids.append(row.value(0).toLongLong()); });
    for (const qint64 id : ids)
        m_db->move(id, PageState::Cancelled, reason, reason, now);
    transaction.commit();
    for (const qint64 id : ids)
        emit pageFinished(id);
    return ids;
}

void PageStore::markRemoved(const QList<qint64>& ids)
{
    PageDatabase::Transaction transaction(*m_db);
    for (const qint64 id : ids)
        m_db->run(QStringLiteral("UPDATE pages SET in_queue = 0 WHERE id = ? AND state IN (%1)")
                      .arg(FinalStates),
                  {id});
    transaction.commit();
}

void PageStore::markQueueDeleted()
{
    PageDatabase::Transaction transaction(*m_db);
    m_db->run(QStringLiteral("UPDATE pages SET in_queue = 0 WHERE state IN (%1)").arg(FinalStates));
    transaction.commit();
}

void PageStore::addNote(qint64 id, const QByteArray& note)
{
    const QList<PageRecord> found = m_db->records(QStringLiteral("WHERE id = ?"), {id});
    if (found.isEmpty())
        return;
    PageDatabase::Transaction transaction(*m_db);
    m_db->addHistory(id, found.first().state, note, nowMs());
    transaction.commit();
}

std::optional<PageRecord> PageStore::page(qint64 id)
{
    QList<PageRecord> found = m_db->records(QStringLiteral("WHERE id = ?"), {id});
    if (found.isEmpty())
        return std::nullopt;
    found.first().history = m_db->history(id);
    return found.first();
}

QList<PageRecord> PageStore::recent(int limit)
{
    return m_db->records(QStringLiteral("ORDER BY id DESC LIMIT ?"), {limit});
}

QMap<PageState, qint64> PageStore::counts()
{
    QMap<PageState, qint64> counts;
    for (const PageState state : PageStates::All)
        counts.insert(state, 0);
    m_db->run(QStringLiteral("SELECT state, COUNT(*) FROM pages GROUP BY state"), {},
              [&](const QSqlQuery& row) {
                  if (const auto state = PageStates::fromName(row.value(0).toByteArray()))
                      counts[*state] = row.value(1).toLongLong();
              });
    return counts;
}

ReconcileReport PageStore::reconcile(const MessageQueueFile& queue)
{
    const ReconcileReport report = QueueReconciler(*m_db, nowMs()).run(queue);
    for (const qint64 id : report.lost)
        emit pageFinished(id);
    return report;
}

PageStore::PruneResult PageStore::prune(const PagesSettings& settings)
{
    PagePruner pruner(*m_db, nowMs());
    PruneResult result;
    result.expired = pruner.expire(settings);
    result.removed = pruner.removeOld(settings);
    for (const ReconcileReport::Removal& removal : result.expired)
        emit pageFinished(removal.id);
    return result;
}

QList<PageRecord> PageStore::takeNotifications(int limit, bool withCommand)
{
    PageDatabase::Transaction transaction(*m_db);
    QList<PageRecord> due =
        m_db->records(QStringLiteral("WHERE notify = ? ORDER BY finished_at, id LIMIT ?"),
                      {int(PageDatabase::Due), limit});
    for (const PageRecord& page : due)
        m_db->run(QStringLiteral("UPDATE pages SET notify = ? WHERE id = ?"),
                  {int(withCommand ? PageDatabase::Started : PageDatabase::NoCommand), page.id});
    transaction.commit();
    return due;
}
