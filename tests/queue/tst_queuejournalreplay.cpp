#include "queue/messagequeue.h"

#include "foundation/errors.h"
#include "queue/queuejournal.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/tempdatadir.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

QueueSubmission page(const QByteArray& number, const QByteArray& text)
{
    return {number, CompanyLineSettings{}, QueueEntry{text, "", "1001", "10.0.0.5", "Pat"}};
}

// Each message of the file as its key's value, however many times it occurs.
QHash<QByteArray, int> valuesIn(const QString& path)
{
    QHash<QByteArray, int> values;
    const MessageQueueFile file(path);
    for (const QByteArray& section : file.sectionNames()) {
        for (const QueuedCompany::Message& message : file.readCompany(section).messages)
            values[message.value]++;
    }
    return values;
}

QByteArray valueOf(const QByteArray& text)
{
    return page("", text).entry.format();
}

// The files a kill leaves: every write here reaches the file system before the call returns,
// so the files as they are at any moment are what a kill -9 at that moment leaves.
struct DiskState
{
    QByteArray queue;
    QByteArray journal;
    bool hasQueue = false;
    bool hasJournal = false;

    static DiskState of(const TempDataDir& dir)
    {
        DiskState s;
        s.hasQueue = dir.exists(MessageQueueFile::FileName);
        s.hasJournal = dir.exists(QueueJournal::FileName);
        s.queue = s.hasQueue ? dir.read(MessageQueueFile::FileName) : QByteArray();
        s.journal = s.hasJournal ? dir.read(QueueJournal::FileName) : QByteArray();
        return s;
    }
    // A new server's start on these files: what its queue holds.
    QHash<QByteArray, int> afterStart() const
    {
        TempDataDir dir;
        if (hasQueue)
            dir.write(MessageQueueFile::FileName, queue);
        if (hasJournal)
            dir.write(QueueJournal::FileName, journal);
        MessageQueue queue(dir.path());
        queue.setDirectWriteLimit(0);
        queue.takeOver();
        const QHash<QByteArray, int> values = valuesIn(queue.path());
        if (values.size() != queue.count())
            ADD_FAILURE() << "counted " << queue.count() << " of " << values.size();
        return values;
    }
};

// Every page through the journal, however short the queue.
std::unique_ptr<MessageQueue> journalled(const QString& dataDir)
{
    auto queue = std::make_unique<MessageQueue>(dataDir);
    queue->setDirectWriteLimit(0);
    return queue;
}

class QueueJournalReplay : public ::testing::Test
{
protected:
    TempDataDir dir;
    std::unique_ptr<MessageQueue> queue = journalled(dir.path());
};

TEST_F(QueueJournalReplay, EveryReadOfTheQueueFindsThePagesTakenBeforeIt)
{
    const QList<std::pair<const char*, std::function<void(MessageQueue&)>>> readers = {
        {"section names", [](MessageQueue& q) { q.sectionNames(); }},
        {"a company", [](MessageQueue& q) { q.readCompany("555"); }},
        {"the count of the file", [](MessageQueue& q) { q.messagesInFile(); }},
        {"a recount", [](MessageQueue& q) { q.recount(); }},
        {"the file", [](MessageQueue& q) { q.file(); }},
        {"a start", [](MessageQueue& q) { q.takeOver(); }},
        {"an empty section's removal", [](MessageQueue& q) { q.removeSectionIfEmpty("555"); }},
        {"a test message", [](MessageQueue& q) { q.addTestMessage("777", "9"); }},
        {"a stop", [](MessageQueue&) {}},
    };
    for (const auto& [what, read] : readers) {
        TempDataDir own;
        auto q = journalled(own.path());
        ASSERT_TRUE(q->add({page("555", "one"), page("555", "two")}));
        ASSERT_TRUE(q->add({page("777", "three")}));
        ASSERT_EQ(q->pagesNotInFile(), 3) << what;
        ASSERT_EQ(valuesIn(q->path()).size(), 0) << what << ": nothing in the file yet";
        read(*q);
        if (QByteArray(what) == "a stop")
            q.reset();
        const QHash<QByteArray, int> values = valuesIn(own.file(MessageQueueFile::FileName));
        for (const char* text : {"one", "two", "three"})
            EXPECT_EQ(values.value(valueOf(text)), 1) << what << ": " << text;
        if (q)
            EXPECT_EQ(q->pagesNotInFile(), 0) << what;
        else
            EXPECT_FALSE(own.exists(QueueJournal::FileName)) << "a stop leaves no journal";
    }
}

TEST_F(QueueJournalReplay, ARunRemovesAPageTakenAfterTheFileWasLastWritten)
{
    ASSERT_TRUE(queue->add({page("555", "first")}));
    queue->sync();
    ASSERT_TRUE(queue->add({page("555", "second")}));
    const QueuedCompany company = queue->readCompany("555");
    ASSERT_EQ(company.messages.size(), 2);
    for (const QueuedCompany::Message& message : company.messages)
        EXPECT_TRUE(queue->removeMessage("555", message));
    EXPECT_TRUE(queue->removeSectionIfEmpty("555"));
    EXPECT_EQ(queue->count(), 0);
    // Nothing comes back at the next start: the journal was emptied when the file was written.
    queue.reset();
    EXPECT_TRUE(DiskState::of(dir).afterStart().isEmpty());
}

TEST_F(QueueJournalReplay, AClearTakesThePagesNotYetInTheFileAndNoStartBringsThemBack)
{
    ASSERT_TRUE(queue->add({page("555", "a"), page("777", "b")}));
    ASSERT_TRUE(queue->clear());
    EXPECT_EQ(queue->count(), 0);
    EXPECT_FALSE(queue->holdsMessages());
    EXPECT_TRUE(DiskState::of(dir).afterStart().isEmpty()) << "a kill right after the clear";
    ASSERT_TRUE(queue->add({page("555", "c")}));
    EXPECT_EQ(queue->readCompany("555").messages.size(), 1);
}

TEST_F(QueueJournalReplay, MessageDatCatchesUpOnItsOwnSoonAfterABurst)
{
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(queue->add({page("555", "burst " + QByteArray::number(i))}));
    EXPECT_TRUE(waitFor([&] { return valuesIn(queue->path()).size() == 20; }))
        << "Message.Dat never caught up without a reader";
    EXPECT_EQ(queue->pagesNotInFile(), 0);
    EXPECT_EQ(QFileInfo(dir.file(QueueJournal::FileName)).size(), 0);
}

TEST_F(QueueJournalReplay, AFileChangedByHandKeepsItsPagesFromThoseTakenLater)
{
    ASSERT_TRUE(queue->add({page("555", "mine")}));
    queue->sync();
    ASSERT_EQ(queue->readCompany("555").messages.first().key, "MSG1");
    // Someone adds a page by hand, as an old workstation tool would.
    dir.write(MessageQueueFile::FileName,
              dir.read(MessageQueueFile::FileName) + "MSG2=" + valueOf("by hand") + "\r\n");
    ASSERT_EQ(queue->add({page("555", "later")}), QList<qint32>{3});
    const QHash<QByteArray, int> values = valuesIn(queue->file().path());
    EXPECT_EQ(values.value(valueOf("by hand")), 1);
    EXPECT_EQ(values.value(valueOf("later")), 1);
    EXPECT_EQ(values.value(valueOf("mine")), 1);
}

TEST_F(QueueJournalReplay, ARewriteThatFailsKeepsThePagesForTheNextStart)
{
    ASSERT_TRUE(queue->add({page("555", "kept")}));
    // Message.Dat cannot be written now: it is a link into a folder that is not there.
    ASSERT_TRUE(QFile::link(dir.file(QStringLiteral("gone/Message.Dat")),
                            dir.file(MessageQueueFile::FileName)));
    EXPECT_THROW(queue->sync(), EIniFileError);
    EXPECT_THROW(queue->add({page("555", "refused")}), EIniFileError)
        << "a queue that cannot be written takes no more pages";
    EXPECT_EQ(queue->pagesNotInFile(), 1);
    queue.reset();
    ASSERT_TRUE(QFile::remove(dir.file(MessageQueueFile::FileName)));
    EXPECT_EQ(DiskState::of(dir).afterStart(), (QHash<QByteArray, int>{{valueOf("kept"), 1}}));
}

TEST_F(QueueJournalReplay, AFolderInPlaceOfMessageDatRefusesThePageAtOnce)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(MessageQueueFile::FileName));
    EXPECT_THROW(queue->add({page("555", "refused")}), EIniFileError);
    EXPECT_EQ(queue->pagesNotInFile(), 0);
    EXPECT_EQ(queue->count(), 0);
}

TEST_F(QueueJournalReplay, AJournalOfGarbageIsCutAndTheQueueGoesOn)
{
    dir.write(MessageQueueFile::FileName, "[555]\r\nMSG1=" + valueOf("old") + "\r\n");
    dir.write(QueueJournal::FileName, "[555]\r\nMSG2=not a record\r\n");
    queue = journalled(dir.path());
    EXPECT_EQ(queue->takeOver(), 1);
    ASSERT_EQ(queue->add({page("555", "new")}), QList<qint32>{2});
    // A kill now: the new page comes back once, the garbage never.
    const QHash<QByteArray, int> values = DiskState::of(dir).afterStart();
    EXPECT_EQ(values, (QHash<QByteArray, int>{{valueOf("old"), 1}, {valueOf("new"), 1}}));
}

// Random work on the queue with a kill at every step: after the next start the queue holds
// every page that was acknowledged and not yet removed, each exactly once, and nothing else.
// Besides a kill between two calls, each add is also killed in the middle of its append (the
// page was never acknowledged) and each sync between the rewrite of Message.Dat and the
// emptying of the journal.
TEST_F(QueueJournalReplay, AKillAtAnyPointLeavesEveryAcknowledgedPageOnceAfterTheNextStart)
{
    QRandomGenerator random(26);
    QHash<QByteArray, int> acknowledged; // values that the queue must hold
    int counter = 0;
    const auto check = [&](const DiskState& state, const QHash<QByteArray, int>& expected,
                           const char* where, int step) {
        const QHash<QByteArray, int> found = state.afterStart();
        ASSERT_EQ(found, expected) << where << " at step " << step;
    };
    for (int step = 0; step < 150; ++step) {
        const int action = static_cast<int>(random.bounded(10));
        if (action < 6) {
            QList<QueueSubmission> batch;
            const int pages = 1 + static_cast<int>(random.bounded(3));
            for (int i = 0; i < pages; ++i)
                batch.append(page(random.bounded(2) ? "555" : "777",
                                  "page " + QByteArray::number(++counter)));
            const qint64 before = QFileInfo(dir.file(QueueJournal::FileName)).size();
            ASSERT_TRUE(queue->add(batch));
            DiskState state = DiskState::of(dir);
            const qint64 record = state.journal.size() - before;
            ASSERT_GT(record, 0);
            DiskState torn = state;
            torn.journal.chop(1 + static_cast<qsizetype>(random.bounded(record - 1)));
            check(torn, acknowledged, "a kill in the middle of an append", step);
            for (const QueueSubmission& s : batch)
                acknowledged[s.entry.format()]++;
            check(state, acknowledged, "a kill after an add", step);
        } else if (action < 8) {
            const DiskState before = DiskState::of(dir);
            queue->sync();
            DiskState between = DiskState::of(dir);
            between.journal = before.journal;
            between.hasJournal = before.hasJournal;
            check(between, acknowledged, "a kill before the journal was emptied", step);
            check(DiskState::of(dir), acknowledged, "a kill after a sync", step);
        } else {
            // A run hands one page to the terminal and removes it.
            const QList<QByteArray> sections = queue->sectionNames();
            if (sections.isEmpty())
                continue;
            const QueuedCompany company = queue->readCompany(sections.first());
            if (company.messages.isEmpty())
                continue;
            ASSERT_TRUE(queue->removeMessage(sections.first(), company.messages.first()));
            acknowledged.remove(company.messages.first().value);
            check(DiskState::of(dir), acknowledged, "a kill after a removal", step);
        }
    }
    EXPECT_GT(counter, 100);
}

TEST_F(QueueJournalReplay, AShortQueueIsWrittenAtOnceALongOneThroughTheJournal)
{
    queue->setDirectWriteLimit(1024);
    int pages = 0;
    while (QFileInfo(queue->path()).size() < 1024) {
        ASSERT_TRUE(queue->add({page("555", "short " + QByteArray::number(pages++))}));
        ASSERT_EQ(queue->pagesNotInFile(), 0);
        ASSERT_EQ(valuesIn(queue->path()).size(), pages) << "in Message.Dat at once";
    }
    ASSERT_TRUE(queue->add({page("555", "long")}));
    EXPECT_EQ(queue->pagesNotInFile(), 1);
    EXPECT_EQ(queue->readCompany("555").messages.size(), pages + 1);
    EXPECT_EQ(queue->count(), pages + 1);
}

} // namespace
