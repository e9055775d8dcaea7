#include "pages/statementcache.h"

#include <QSqlError>

StatementCache::StatementCache(const QSqlDatabase& db, Fail fail)
    : m_db(db), m_fail(std::move(fail))
{
}

StatementCache::~StatementCache()
{
    clear();
}

void StatementCache::clear()
{
    for (const std::shared_ptr<Statement>& statement : std::as_const(m_statements))
        statement->query.finish();
    m_statements.clear();
}

int StatementCache::placeholders(const QString& sql)
{
    int count = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            ++count;
        }
    }
    return count;
}

std::shared_ptr<StatementCache::Statement> StatementCache::prepare(const QString& sql)
{
    auto statement = std::make_shared<Statement>();
    statement->query = QSqlQuery(m_db);
    statement->query.setForwardOnly(true);
    if (!statement->query.prepare(sql))
        m_fail(statement->query.lastError().text());
    statement->placeholders = placeholders(sql);
    return statement;
}

StatementCache::Use::Use(StatementCache& cache, const QString& sql, const QVariantList& values)
{
    std::shared_ptr<Statement> statement = cache.m_statements.value(sql);
    if (!statement) {
        statement = cache.prepare(sql);
        if (cache.m_statements.size() >= MaxStatements) {
            // Statements in use stay; their Use holds them until it ends.
            for (auto it = cache.m_statements.begin(); it != cache.m_statements.end();)
                it = (*it)->busy ? std::next(it) : cache.m_statements.erase(it);
        }
        cache.m_statements.insert(sql, statement);
    } else if (statement->busy) {
        // Run again while its rows are read: the outer use keeps its own.
        statement = cache.prepare(sql);
    }
    if (values.size() != statement->placeholders)
        cache.m_fail(QStringLiteral("a statement with %1 placeholders was given %2 values: %3")
                         .arg(statement->placeholders)
                         .arg(values.size())
                         .arg(sql));
    m_statement = std::move(statement);
    m_statement->busy = true;
    QSqlQuery& query = m_statement->query;
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values[i]);
    if (!query.exec()) {
        const QString detail = query.lastError().text();
        release();
        // A statement that failed is prepared anew next time rather than trusted again.
        cache.m_statements.remove(sql);
        cache.m_fail(detail);
    }
}

StatementCache::Use::~Use()
{
    release();
}

void StatementCache::Use::release()
{
    if (!m_statement)
        return;
    m_statement->query.finish();
    m_statement->busy = false;
    m_statement.reset();
}

QSqlQuery& StatementCache::Use::query()
{
    return m_statement->query;
}
