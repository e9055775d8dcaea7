#include "pages/pagestore.h"
#include "pages/pagestoreerror.h"
#include "pages/statementcache.h"
#include "tests/support/tempdatadir.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

struct Failed
{
    QString detail;
};

// A connection of the test's own on a file in a temporary folder, with a cache over it.
class StatementCacheTest : public ::testing::Test
{
protected:
    StatementCacheTest()
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
        m_db.setDatabaseName(dir.file(QStringLiteral("cache.db")));
        EXPECT_TRUE(m_db.open());
        cache = std::make_unique<StatementCache>(
            m_db, [](const QString& detail) { throw Failed{detail}; });
        run(QStringLiteral("PRAGMA journal_mode=WAL"));
        run(QStringLiteral("CREATE TABLE t (a INTEGER, b TEXT)"));
    }
    ~StatementCacheTest() override
    {
        cache.reset();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name());
    }
    static QString name() { return QStringLiteral("statement-cache-test"); }

    void run(const QString& sql, const QVariantList& values = {})
    {
        StatementCache::Use use(*cache, sql, values);
    }
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {})
    {
        QList<QVariantList> found;
        StatementCache::Use use(*cache, sql, values);
        while (use.query().next())
            found.append({use.query().value(0), use.query().value(1)});
        return found;
    }

    TempDataDir dir;
    std::unique_ptr<StatementCache> cache;

private:
    QSqlDatabase m_db;
};

TEST_F(StatementCacheTest, AUseWithTooFewOrTooManyValuesIsRefusedNeverRunWithAnEarlierUsesValues)
{
    const QString insert = QStringLiteral("INSERT INTO t (a, b) VALUES (?, ?)");
    run(insert, {1, QStringLiteral("one")});
    EXPECT_THROW(run(insert, {2}), Failed) << "the second value would be the first use's";
    EXPECT_THROW(run(insert, {3, QStringLiteral("three"), 4}), Failed);
    run(insert, {5, QVariant(QMetaType::fromType<QString>())});
    const QList<QVariantList> stored = rows(QStringLiteral("SELECT a, b FROM t ORDER BY a"));
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0], (QVariantList{1, QStringLiteral("one")}));
    EXPECT_EQ(stored[1][0], 5);
    EXPECT_TRUE(stored[1][1].isNull()) << "a NULL bound after a text kept the text";
    const qsizetype prepared = cache->size();
    run(insert, {6, QStringLiteral("six")});
    EXPECT_EQ(cache->size(), prepared) << "a text was prepared twice";
}

TEST_F(StatementCacheTest, PlaceholdersInsideQuotedLiteralsAreNotCounted)
{
    EXPECT_EQ(StatementCache::placeholders(QStringLiteral("SELECT ?")), 1);
    EXPECT_EQ(StatementCache::placeholders(QStringLiteral("SELECT '?', \"?\" WHERE a = ?")), 1);
    EXPECT_EQ(StatementCache::placeholders(QStringLiteral("SELECT 'it''s ?' WHERE ? = ?")), 2);
    run(QStringLiteral("INSERT INTO t (a, b) VALUES (?, 'why?')"), {7});
    EXPECT_EQ(rows(QStringLiteral("SELECT a, b FROM t WHERE b = 'why?' AND a = ?"), {7}).size(), 1);
}

TEST_F(StatementCacheTest, ATextRunAgainWhileItsRowsAreReadGetsAStatementOfItsOwn)
{
    for (int a = 1; a <= 3; ++a)
        run(QStringLiteral("INSERT INTO t (a, b) VALUES (?, ?)"), {a, QString::number(a)});
    const QString select = QStringLiteral("SELECT a, b FROM t WHERE a >= ? ORDER BY a");
    QList<int> outer;
    QList<int> inner;
    {
        StatementCache::Use use(*cache, select, {1});
        while (use.query().next()) {
            outer.append(use.query().value(0).toInt());
            for (const QVariantList& row : rows(select, {3}))
                inner.append(row[0].toInt());
        }
    }
    EXPECT_EQ(outer, (QList<int>{1, 2, 3})) << "the inner use cut the outer one short";
    EXPECT_EQ(inner, (QList<int>{3, 3, 3}));
    EXPECT_EQ(rows(select, {2}).size(), 2) << "the cached statement is usable afterwards";
}

// A checkpoint from another connection that takes the whole log into the file and truncates it;
// false when a read holds part of the log.
bool checkpointFrom(const QString& file)
{
    const QString name = QStringLiteral("checkpointer");
    bool complete = false;
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        other.setDatabaseName(file);
        if (other.open()) {
            QSqlQuery checkpoint(other);
            complete = checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) &&
                       checkpoint.next() && checkpoint.value(0).toInt() == 0;
            checkpoint.finish();
            other.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return complete && QFileInfo(file + QStringLiteral("-wal")).size() == 0;
}

TEST_F(StatementCacheTest, AUseWhoseRowsWereNotAllReadLeavesNoReadOpen)
{
    const QString insert = QStringLiteral("INSERT INTO t (a, b) VALUES (?, ?)");
    for (int a = 1; a <= 3; ++a)
        run(insert, {a, QString::number(a)});
    {
        StatementCache::Use use(*cache, QStringLiteral("SELECT a FROM t ORDER BY a"), {});
        ASSERT_TRUE(use.query().next());
    }
    run(insert, {4, QStringLiteral("4")});
    EXPECT_TRUE(checkpointFrom(dir.file(QStringLiteral("cache.db"))))
        << "the first row's read still holds the log";
}

TEST_F(StatementCacheTest, AFailedStatementReportsTheDriversTextAndTheNextUseWorks)
{
    run(QStringLiteral("CREATE UNIQUE INDEX t_a ON t(a)"));
    const QString insert = QStringLiteral("INSERT INTO t (a, b) VALUES (?, ?)");
    run(insert, {1, QStringLiteral("x")});
    try {
        run(insert, {1, QStringLiteral("y")});
        ADD_FAILURE() << "a duplicate was taken";
    } catch (const Failed& failed) {
        EXPECT_TRUE(failed.detail.contains(QStringLiteral("UNIQUE")))
            << failed.detail.toStdString();
    }
    run(insert, {2, QStringLiteral("z")});
    EXPECT_EQ(rows(QStringLiteral("SELECT a, b FROM t")).size(), 2);
}

// What a store's own reads leave behind: a checkpoint from another connection must be able to
// take the whole log into the file and truncate it, which no open read allows.
TEST(PageStoreStatements, NoReadOfTheStoreStaysOpenAndClosingItLeavesNoQueryBehind)
{
    TempDataDir dir;
    QStringList warnings;
    static QStringList* collected = nullptr;
    collected = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { collected->append(text); });
    {
        PageStore store(dir.path());
        NewPage page;
        page.section = "5551000";
        page.entry = QueueEntry{"disk full", "", "1234", "10.0.0.5", ""};
        const QList<qint64> ids = store.accept({page, page});
        store.confirmQueued(ids, {page, page}, {1, 2});
        // Reads of one row of many, of one row, of counts, and a move's look at the state.
        ASSERT_EQ(store.recent(1).size(), 1);
        ASSERT_TRUE(store.page(ids[0]));
        ASSERT_EQ(store.counts()[PageState::Queued], 2);
        ASSERT_TRUE(store.markSending(ids[0]));
        ASSERT_FALSE(store.requeue(ids[1], "not sending"));

        EXPECT_TRUE(checkpointFrom(store.filePath())) << "a read of the store is still open";
        EXPECT_EQ(store.page(ids[0])->state, PageState::Sending);
    }
    qInstallMessageHandler(previous);
    collected = nullptr;
    for (const QString& warning : warnings)
        EXPECT_FALSE(warning.contains(QStringLiteral("still in use"))) << warning.toStdString();
}

} // namespace
