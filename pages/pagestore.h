#pragma once

#include "pages/pagerecord.h"
#include "pages/reconcilereport.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class MessageQueueFile;
class QueuedCompany;
class PageDatabase;
struct PagesSettings;

// Every page the server accepts, with its id, its fate and its history, in Pages.db beside
// Message.Dat. Ids are never handed out twice, also across restarts and after pruning. The
// store belongs to the thread that opened it (its SQLite connection does); another thread opens
// a store of its own on the same folder. Failures raise EPageStoreError.
//
// Message.Dat keeps its layout; a page's record ties it to its queue entry by the entry's
// section, key and exact value (QueueTie). Store and queue are written in this order, each step
// durable before the next, so that after a kill at any point reconcile() can tell what happened:
//
//   taking pages:  accept()        records "accepting" (no "250" yet, no queue key)
//                  queue write     MessageQueueFile::writeSubmissions gives the keys
//                  confirmQueued() records the keys, "queued" or "held"; then the "250"
//                  (a refused or failed queue write: abandon(), nothing was taken)
//   a call:        markSending()   before the page goes to the terminal
//                  the terminal acknowledges, or refuses
//                  markDelivered() or markFailed()
//                  removal of its entry from Message.Dat
//                  markRemoved()
//   clearing:      markCancelled(), deletion of Message.Dat, markQueueDeleted()
//
// Held pages are in Message.Dat like queued ones: a call passes over them (idsOf() names them,
// page() tells their state) until releaseDue() has queued them. PageQueue does the queue's side
// of each sequence in this order.
//
// What a kill leaves, and what reconcile() makes of it:
//   accepting, its entry in the file      -> queued (written, only the "250" may be missing)
//   accepting, no entry                   -> dropped (never written, never answered "250")
//   sending, its entry in the file        -> queued again; if the terminal had acknowledged
//                                            it, it is paged a second time (counted)
//   queued/held/sending, no entry         -> failed: someone removed it from the file
//   final, its entry still in the file    -> listed for removal (the queue's owner removes
//                                            it, then calls markRemoved())
//   final, its entry gone                 -> marked removed
//   an entry without any record           -> a new record, queued (front end "unknown")
class PageStore final : public QObject
{
    Q_OBJECT

public:
    static inline const QString FileName = QStringLiteral("Pages.db");
    using Clock = std::function<QDateTime()>;

    // Opens (or creates) the store of the data folder. The clock gives "now" for every time
    // the store records; by default the system's.
    explicit PageStore(const QString& dataDir, Clock clock = {}, QObject* parent = nullptr);
    ~PageStore() override;

    QString filePath() const;
    QDateTime now() const;

    // Taking pages. accept() records each page durably as "accepting" and gives their ids in
    // order, all in one transaction.
    QList<qint64> accept(const QList<NewPage>& pages);
    // After the queue write: the pages as given to accept() and the "MSG" + n keys the write
    // used, in the same order. A page whose not-before time lies ahead is held, the others
    // queued; a page no longer accepting is left as it is.
    void confirmQueued(const QList<qint64>& ids, const QList<NewPage>& pages,
                       const QList<qint32>& numbers);
    // The queue write was refused or failed: the records go, their ids stay used.
    void abandon(const QList<qint64>& ids);

    // The ids of a company's queued entries, in the order of its messages; nothing for an
    // entry the store does not know. Two identical lines (a section that a hand edit left
    // twice) name two records, in the order of their ids.
    QList<std::optional<qint64>> idsOf(const QueuedCompany& company);

    // A call's steps. False, and nothing changed, when the page is not in a state that allows
    // the step (see PageStates::canMove), for example a page that the operator cancelled.
    bool markSending(qint64 id);
    bool markDelivered(qint64 id);
    bool markFailed(qint64 id, const QByteArray& reason);
    // The call ended before the terminal answered for it: it waits for the next call.
    bool requeue(qint64 id, const QByteArray& note);
    // Held pages whose not-before time has come are queued; gives their ids.
    QList<qint64> releaseDue();
    // The operator cleared the queue: every queued and held page; gives their ids.
    QList<qint64> markCancelled(const QByteArray& reason);
    // Their entries are no longer in Message.Dat.
    void markRemoved(const QList<qint64>& ids);
    // Message.Dat was deleted: no final page has an entry there any more.
    void markQueueDeleted();
    // A line of the page's history that changes nothing else (the call it went out on, ...).
    void addNote(qint64 id, const QByteArray& note);

    // Reading.
    std::optional<PageRecord> page(qint64 id); // with its history
    QList<PageRecord> recent(int limit = 100); // newest first, without history
    QMap<PageState, qint64> counts();          // every state, zero included

    // At start, before anything is queued or sent: makes the store agree with the queue file
    // (see above). The entries it lists for removal are the caller's to remove.
    ReconcileReport reconcile(const MessageQueueFile& queue);

    // At a check: queued and held pages older than MaxAgeHours expire (their entries are
    // listed for removal, as reconcile() lists them), final pages older than KeepDays go with
    // their history.
    struct PruneResult
    {
        QList<ReconcileReport::Removal> expired;
        qint64 removed = 0;
    };
    PruneResult prune(const PagesSettings& settings);

    // Final pages whose notification has not been started, oldest first, at most `limit`; each
    // is marked started (with a command) or settled (without one) before this returns, so a
    // restart never runs a page's command twice.
    QList<PageRecord> takeNotifications(int limit, bool withCommand);

signals:
    // A page reached a final state: its notification is due.
    void pageFinished(qint64 id);

private:
    bool moveOne(qint64 id, PageState to, const QByteArray& reason, const QByteArray& note,
                 std::optional<PageState> from = std::nullopt);
    qint64 nowMs() const;

    std::unique_ptr<PageDatabase> m_db;
    Clock m_clock;
    QString m_dataDir;
};
