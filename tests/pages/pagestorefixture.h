#pragma once

#include "pages/pagequeue.h"
#include "pages/pagerecord.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

#include <memory>

// Test failures name states as the store does.
inline void PrintTo(PageState state, std::ostream* out)
{
    *out << PageStates::name(state).constData();
}

// A page store and a queue file in a fresh data folder, with a clock the test sets.
class PageStoreTest : public ::testing::Test
{
protected:
    PageStoreTest();

    // Opens the store (again), as a restart would.
    void open();
    void reopen();
    // A new data folder (below `dir`) with an empty store and no queue file.
    void startOver();

    PageStore& pages() { return *m_store; }
    MessageQueueFile& queue() { return m_queue; }
    PageQueue& pageQueue() { return *m_pageQueue; }

    // A page for the section; the text makes it unique unless the test repeats it.
    static NewPage newPage(const QByteArray& section, const QByteArray& text,
                           const QByteArray& pin = "1234", FrontEnd frontEnd = FrontEnd::Snpp);
    // Takes one page through the queue and the store; its id.
    qint64 take(const NewPage& page);
    // The page's state; fails the test when it is missing.
    PageState stateOf(qint64 id);
    // Runs a SELECT COUNT(*) on the store's file through a connection of the test's own.
    qint64 countRows(const QString& sql) const;
    // The queue line of a page as a run reads it, or nothing.
    std::optional<QueuedCompany::Message> lineOf(qint64 id);

    // Stops a sequence of PageQueue steps at `step` (its `nth` occurrence) as a kill would.
    struct Killed
    {
    };
    void killAt(PageQueue::Step step, int nth = 1);
    // A restart after a kill: the store opened again, reconciled, and the entries it lists
    // removed; the report.
    ReconcileReport restart();
    // Store and queue agree: every line of the file names one page of its own that is still
    // to be sent, every such page has its line, and no other page claims to be in the file.
    void expectAgreement();

    TempDataDir dir;
    QDateTime clock;

private:
    QString m_folder;
    int m_runs = 0;
    std::unique_ptr<PageStore> m_store;
    MessageQueueFile m_queue;
    std::unique_ptr<MessageQueue> m_owner;
    std::unique_ptr<PageQueue> m_pageQueue;
};
