#include "tests/pages/pagestorefixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>

PageStoreTest::PageStoreTest()
    : clock(QDate(2026, 12, 7), QTime(17, 40), Qt::UTC),
      m_queue(dir.file(MessageQueueFile::FileName))
{
    open();
}

void PageStoreTest::open()
{
    m_pageQueue.reset();
    m_store.reset();
    m_store = std::make_unique<PageStore>(dir.path(), [this] { return clock; });
    m_pageQueue = std::make_unique<PageQueue>(*m_store, m_queue);
}

void PageStoreTest::reopen()
{
    open();
}

NewPage PageStoreTest::newPage(const QByteArray& section, const QByteArray& text,
                               const QByteArray& pin, FrontEnd frontEnd)
{
    NewPage page;
    page.pagerId = pin + "@Acme";
    page.section = section;
    page.settings = {"pw", "80", 2, 2, 0};
    page.entry = QueueEntry{text, "", pin, "10.0.0.5", "Pat"};
    page.frontEnd = frontEnd;
    return page;
}

qint64 PageStoreTest::take(const NewPage& page)
{
    const auto ids = m_pageQueue->take({page});
    EXPECT_TRUE(ids && ids->size() == 1) << "the page was not taken";
    return ids && !ids->isEmpty() ? ids->first() : 0;
}

PageState PageStoreTest::stateOf(qint64 id)
{
    const auto page = m_store->page(id);
    EXPECT_TRUE(page) << "page " << id << " is missing from the store";
    return page ? page->state : PageState::Accepting;
}

qint64 PageStoreTest::countRows(const QString& sql) const
{
    const QString name = QStringLiteral("test-count");
    qint64 count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dir.file(PageStore::FileName));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                count = query.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return count;
}

std::optional<QueuedCompany::Message> PageStoreTest::lineOf(qint64 id)
{
    const auto page = m_store->page(id);
    if (!page)
        return std::nullopt;
    const QueuedCompany company = m_queue.readCompany(page->tie.section);
    const QList<std::optional<qint64>> ids = m_store->idsOf(company);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (ids[i] == id)
            return company.messages[i];
    }
    return std::nullopt;
}
