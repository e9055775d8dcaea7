#pragma once

#include "pages/pagerecord.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class QSqlQuery;
class StatementCache;

// The SQLite file behind the page store: its connection, schema and the row operations that the
// store, the reconciliation and the pruning share. Each object opens a connection of its own
// under a name no other object uses, so stores on several threads never share one; an object
// must be used on the thread that created it. Every failure raises EPageStoreError.
//
// The journal is a write-ahead log with synchronous=FULL: a transaction that has committed is
// on the disk, so a page's record is durable before its queue write and its "250".
class PageDatabase final
{
public:
    explicit PageDatabase(const QString& path);
    ~PageDatabase();
    PageDatabase(const PageDatabase&) = delete;
    PageDatabase& operator=(const PageDatabase&) = delete;

    const QString& path() const { return m_path; }

    // BEGIN IMMEDIATE at construction (the write lock is taken at once, so two stores on one
    // file wait for each other rather than fail half-way); rolled back unless commit() ran.
    class Transaction final
    {
    public:
        explicit Transaction(PageDatabase& db);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        PageDatabase& m_db;
        bool m_done = false;
    };

    // Runs one statement with positional ("?") values, one value for each; gives the number of
    // rows it changed. Each row it gives is handed to `row`. Statements are prepared once per
    // connection and reused; none stays open after this returns.
    using RowReader = std::function<void(const QSqlQuery& row)>;
    qint64 run(const QString& sql, const QVariantList& values = {}, const RowReader& row = {});

    // A byte string as a BLOB; the empty one is stored as such, never as NULL.
    static QVariant blob(const QByteArray& bytes);
    static QVariant time(const std::optional<QDateTime>& at);
    static QDateTime timeFrom(const QVariant& value);

    // The pages the condition selects ("WHERE ... ORDER BY ..." or empty), without history.
    QList<PageRecord> records(const QString& condition, const QVariantList& values = {});
    QList<PageHistoryEntry> history(qint64 id);

    // A new record in `state` with its first history line; gives its id.
    qint64 insert(const NewPage& page, PageState state, const QueueTie& tie, bool inQueue,
                  const QByteArray& note, qint64 now);
    // Moves the page to `to` when the rules allow it from its present state, with a history
    // line; a final state stamps the time it was reached and makes its notification due.
    // False, and nothing written, when the page is missing, the move is not allowed, or the
    // page is not in `from` when that is given.
    bool move(qint64 id, PageState to, const QByteArray& reason, const QByteArray& note, qint64 now,
              std::optional<PageState> from = std::nullopt);
    void addHistory(qint64 id, PageState state, const QByteArray& note, qint64 now);
    // An accepting page's queue write is done: it moves to `to` (queued or held) with its queue
    // key and a history line. False, and nothing written, when it is not accepting any more.
    bool confirm(qint64 id, PageState to, const QByteArray& key, const QByteArray& note,
                 qint64 now);

    // The notification flag of a record.
    enum Notify { NotDue = 0, Due = 1, Started = 2, NoCommand = 3 };

private:
    void createSchema();
    void close();
    [[noreturn]] void fail(const QString& what, const QString& detail) const;

    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    std::unique_ptr<StatementCache> m_statements;
};
