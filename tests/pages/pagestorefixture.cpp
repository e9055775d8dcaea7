#include "tests/pages/pagestorefixture.h"

#include <QDir>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>

PageStoreTest::PageStoreTest()
    : clock(QDate(2026, 12, 7), QTime(17, 40), Qt::UTC), m_folder(dir.path()),
      m_queue(dir.file(MessageQueueFile::FileName))
{
    open();
}

void PageStoreTest::startOver()
{
    m_pageQueue.reset();
    m_store.reset();
    m_folder = dir.file(QStringLiteral("run%1").arg(++m_runs));
    QDir().mkpath(m_folder);
    m_queue = MessageQueueFile(m_folder + QLatin1Char('/') + MessageQueueFile::FileName);
    open();
}

void PageStoreTest::open()
{
    m_pageQueue.reset();
    m_store.reset();
    m_store = std::make_unique<PageStore>(m_folder, [this] { return clock; });
    m_owner = std::make_unique<MessageQueue>(m_folder);
    m_pageQueue = std::make_unique<PageQueue>(*m_store, *m_owner);
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
    page.settings = {"pw", 80, 2, 2, 0};
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
        db.setDatabaseName(m_folder + QLatin1Char('/') + PageStore::FileName);
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

void PageStoreTest::killAt(PageQueue::Step step, int nth)
{
    auto left = std::make_shared<int>(nth);
    m_pageQueue->setStepObserver([step, left](PageQueue::Step now) {
        if (now == step && --*left == 0)
            throw Killed{};
    });
}

ReconcileReport PageStoreTest::restart()
{
    reopen();
    const ReconcileReport report = m_store->reconcile(m_queue);
    m_pageQueue->remove(report.toRemove);
    return report;
}

void PageStoreTest::expectAgreement()
{
    QSet<qint64> named;
    for (const QByteArray& section : m_queue.sectionNames()) {
        const QueuedCompany company = m_queue.readCompany(section);
        const QList<std::optional<qint64>> ids = m_store->idsOf(company);
        for (qsizetype i = 0; i < ids.size(); ++i) {
            ASSERT_TRUE(ids[i]) << "line " << company.messages[i].key.constData() << " of ["
                                << section.constData() << "] has no page";
            EXPECT_FALSE(named.contains(*ids[i])) << "page " << *ids[i] << " has two lines";
            named.insert(*ids[i]);
            const PageState state = stateOf(*ids[i]);
            EXPECT_TRUE(state == PageState::Queued || state == PageState::Held)
                << "line of page " << *ids[i] << " is in the file, its page is "
                << PageStates::name(state).constData();
        }
    }
    for (const PageRecord& page : m_store->recent(100000)) {
        const bool waiting = page.state == PageState::Queued || page.state == PageState::Held;
        EXPECT_EQ(named.contains(page.id), waiting)
            << "page " << page.id << " is " << PageStates::name(page.state).constData()
            << (waiting ? " but has no line" : " but has a line");
        EXPECT_EQ(page.inQueue, waiting) << "page " << page.id;
        EXPECT_NE(page.state, PageState::Accepting) << "page " << page.id;
        EXPECT_NE(page.state, PageState::Sending) << "page " << page.id;
    }
}
