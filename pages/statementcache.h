#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

// The prepared statements of one SQLite connection, kept per SQL text and reused: preparing a
// statement costs more than running a short one. A statement is in use from a Use's
// construction to its destruction and is finished then, since a SELECT left open holds a read
// transaction that keeps the write-ahead log from being checkpointed. Every value is bound anew
// on each use, and a use that brings another number of values than the text has placeholders
// is refused, so no value of an earlier use is ever run again. A text that is already in use
// (run again while its rows are being read) gets a statement of its own for the inner use.
// clear() must run before the connection is closed or removed.
class StatementCache final
{
public:
    // `fail` raises the caller's error with the driver's text; it must not return. The cache
    // keeps a handle of the connection: it must be gone before the connection is removed.
    using Fail = std::function<void(const QString& detail)>;
    StatementCache(const QSqlDatabase& db, Fail fail);
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // Drops every statement (none may be in use).
    void clear();
    qsizetype size() const { return m_statements.size(); }

private:
    struct Statement
    {
        QSqlQuery query;
        int placeholders = 0;
        bool busy = false;
    };
    std::shared_ptr<Statement> prepare(const QString& sql);

public:
    // Prepares (or takes from the cache), binds and runs one statement.
    class Use final
    {
    public:
        Use(StatementCache& cache, const QString& sql, const QVariantList& values);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

        QSqlQuery& query();

    private:
        void release();

        std::shared_ptr<Statement> m_statement;
    };

    // The number of "?" placeholders of a statement's text, outside quoted literals.
    static int placeholders(const QString& sql);

private:
    friend class Use;

    // A connection has a fixed set of texts; the bound only guards against a caller that
    // builds texts with values in them.
    static constexpr qsizetype MaxStatements = 64;

    QSqlDatabase m_db;
    Fail m_fail;
    QHash<QString, std::shared_ptr<Statement>> m_statements;
};
