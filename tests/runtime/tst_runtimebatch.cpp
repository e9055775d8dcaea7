#include "directories/pagingcompany.h"
#include "intake/pagebatch.h"
#include "pages/pagequeue.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "runtime/pagekeeping.h"
#include "runtime/pagersubmission.h"
#include "runtime/snppbridge.h"
#include "tests/runtime/runningserver.h"
#include "tests/support/loopbackclient.h"

#include <QDir>

#include <gtest/gtest.h>

// The pages that several clients hand in during one pass share one durable write, and each
// client is answered with its own pages: ids, refusals and failures as if it had been alone.

namespace {

struct Pager
{
    QByteArray pin;
    QByteArray accessNumber = "5551234";
};

class SharedWrite : public RunningServerTest
{
protected:
    void SetUp() override
    {
        RunningServerTest::SetUp();
        runtime.pages().pageQueue().setStepObserver([this](PageQueue::Step step) {
            if (step == PageQueue::Step::QueueWrite)
                ++m_writes;
        });
    }
    void TearDown() override
    {
        runtime.pages().pageQueue().setStepObserver({});
        RunningServerTest::TearDown();
    }

    // One client's transaction: a page for each pager, with the same text.
    static PageQueuer::Transaction transaction(const QList<Pager>& pagers, const QByteArray& text,
                                               const QByteArray& sender = "127.0.0.5")
    {
        PageQueuer::Transaction pages;
        for (const Pager& pager : pagers) {
            PagingCompany company;
            company.Name = "Metro Paging";
            company.AccessNumber = pager.accessNumber;
            company.Length = "80";
            pages.submissions.append(pagerSubmission(company, pager.pin, text, pager.pin, sender));
            pages.origins.append({pager.pin, {}, std::nullopt});
        }
        return pages;
    }

    // Adds the transaction; its answer, once given, lands in m_outcomes under `name`.
    quint64 add(const char* name, PageQueuer::Transaction pages)
    {
        return m_batch.add(std::move(pages), [this, name](const PageBatch::Outcome& outcome) {
            EXPECT_FALSE(m_outcomes.contains(name)) << name << " answered twice";
            m_outcomes.insert(name, outcome);
        });
    }

    // The PINs in the queue file, each once for every entry that holds it.
    QList<QByteArray> queuedPins() const
    {
        core.queue().sync();
        QList<QByteArray> pins;
        for (const QByteArray& line : dir.read(MessageQueueFile::FileName).split('\n')) {
            const qsizetype at = line.indexOf("*PIN*");
            if (at >= 0)
                pins.append(line.mid(at + 5, line.indexOf('*', at + 5) - at - 5));
        }
        return pins;
    }

    // The PIN and text the page store holds for each id.
    QList<QByteArray> recorded(const QList<qint64>& ids)
    {
        QList<QByteArray> pages;
        for (const qint64 id : ids) {
            const std::optional<PageRecord> page = runtime.pages().store().page(id);
            pages.append(page ? page->pin + '/' + page->text + '/' + PageStates::name(page->state)
                              : "missing " + QByteArray::number(id));
        }
        return pages;
    }

    PageBatch m_batch{runtime.snpp().queuer()};
    QHash<QByteArray, PageBatch::Outcome> m_outcomes;
    int m_writes = 0;
};

TEST_F(SharedWrite, TheTransactionsOfOnePassShareOneWriteAndEachGetsItsOwnPages)
{
    add("two pagers", transaction({{"1111111"}, {"2222222"}}, "first"));
    add("not allowed", transaction({{"3333333", "7771234"}}, "refused"));
    add("one pager", transaction({{"4444444"}}, "second"));
    const quint64 gone = add("withdrawn", transaction({{"9999999"}}, "withdrawn"));
    add("three pagers", transaction({{"5555555"}, {"6666666"}, {"7777777"}}, "third"));
    m_batch.withdraw(gone);
    EXPECT_TRUE(m_outcomes.isEmpty()) << "answered from within add()";

    ASSERT_TRUE(waitFor([&] { return m_outcomes.size() == 4; }));
    EXPECT_EQ(m_writes, 1);
    EXPECT_FALSE(m_outcomes.contains("withdrawn"));
    const PageBatch::Outcome refused = m_outcomes.value("not allowed");
    ASSERT_TRUE(refused.refusal);
    EXPECT_EQ(refused.refusal->kind, PageRefusal::Kind::NumberNotAllowed);
    EXPECT_TRUE(refused.ids.isEmpty());

    EXPECT_EQ(recorded(m_outcomes.value("two pagers").ids),
              (QList<QByteArray>{"1111111/first/queued", "2222222/first/queued"}));
    EXPECT_EQ(recorded(m_outcomes.value("one pager").ids),
              QList<QByteArray>{"4444444/second/queued"});
    EXPECT_EQ(recorded(m_outcomes.value("three pagers").ids),
              (QList<QByteArray>{"5555555/third/queued", "6666666/third/queued",
                                 "7777777/third/queued"}));
    EXPECT_EQ(queuedPins(), (QList<QByteArray>{"1111111", "2222222", "4444444", "5555555",
                                               "6666666", "7777777"}));
    EXPECT_EQ(core.queuedCount(), 6);
    for (const auto& [name, outcome] : m_outcomes.asKeyValueRange())
        EXPECT_FALSE(outcome.failed) << name.constData();
}

// A section with room for one more page: together the pages do not fit, so each transaction is
// written alone and only the one that does not fit is refused, as if they had come one by one.
TEST_F(SharedWrite, ASectionWithoutRoomForAllRefusesOnlyWhatDoesNotFit)
{
    QByteArray file = "[5551234]\r\n";
    for (qint32 n = 1; n < MessageQueueFile::MaxMessageNumber; ++n)
        file += MessageQueueFile::messageKey(n) + "=*MSG*old*PIN*1*USR*127.0.0.1*ID*x\r\n";
    dir.write(MessageQueueFile::FileName, file);

    add("fits", transaction({{"1111111"}}, "a"));
    add("full", transaction({{"2222222"}}, "b"));
    add("elsewhere", transaction({{"3333333", "5550000"}}, "c"));
    ASSERT_TRUE(waitFor([&] { return m_outcomes.size() == 3; }));

    EXPECT_FALSE(m_outcomes.value("fits").refusal);
    EXPECT_FALSE(m_outcomes.value("elsewhere").refusal);
    ASSERT_TRUE(m_outcomes.value("full").refusal);
    EXPECT_EQ(m_outcomes.value("full").refusal->kind, PageRefusal::Kind::QueueFull);
    EXPECT_EQ(recorded(m_outcomes.value("fits").ids), QList<QByteArray>{"1111111/a/queued"});
    EXPECT_EQ(recorded(m_outcomes.value("elsewhere").ids), QList<QByteArray>{"3333333/c/queued"});
    const QList<QByteArray> pins = queuedPins();
    EXPECT_EQ(pins.count("1111111"), 1);
    EXPECT_EQ(pins.count("2222222"), 0);
    EXPECT_EQ(pins.count("3333333"), 1);
}

// The shared write fails: every transaction of it is refused as the queue's failure, each
// sender's refusal is logged, and nothing is queued or left in the page store.
TEST_F(SharedWrite, AFailedWriteRefusesEveryTransactionAndQueuesNone)
{
    // A folder where the file should be: every write of it fails.
    ASSERT_TRUE(QDir(dir.path()).mkdir(MessageQueueFile::FileName));
    add("first", transaction({{"1111111"}, {"2222222"}}, "a", "127.0.0.5"));
    add("second", transaction({{"3333333"}}, "b", "127.0.0.6"));
    ASSERT_TRUE(waitFor([&] { return m_outcomes.size() == 2; }));

    for (const char* name : {"first", "second"}) {
        const PageBatch::Outcome outcome = m_outcomes.value(name);
        ASSERT_TRUE(outcome.refusal) << name;
        EXPECT_EQ(outcome.refusal->kind, PageRefusal::Kind::Unavailable) << name;
        EXPECT_EQ(outcome.refusal->reason, "Queue Unavailable") << name;
        EXPECT_TRUE(outcome.ids.isEmpty()) << name;
    }
    const QList<QByteArray> log = logTexts();
    for (const QByteArray sender : {"127.0.0.5", "127.0.0.6"}) {
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [&](const QByteArray& line) {
                                    return line.startsWith("Message Not Queued From: " + sender);
                                }),
                  1)
            << sender.constData();
    }
    EXPECT_TRUE(runtime.pages().store().recent().isEmpty());
    EXPECT_EQ(core.queuedCount(), 0);
}

// Showing one client's pages fails (the log window is gone): that client alone is left without
// an answer; the others of the same write are answered, and every page stays queued.
TEST_F(SharedWrite, ALogFailureForOneClientFailsThatClientAlone)
{
    QStringList failures;
    m_batch.setGuard([&](const std::function<void()>& work) {
        try {
            work();
            return true;
        } catch (const std::exception& error) {
            failures.append(QString::fromLatin1(error.what()));
            return false;
        }
    });
    QObject::connect(&core, &ServerState::connectionLogAdded, &core, [](const QString& line) {
        if (line == QStringLiteral("Message: boom"))
            throw std::runtime_error("the log window is gone");
    });
    add("before", transaction({{"1111111"}}, "fine"));
    add("failing", transaction({{"2222222"}}, "boom"));
    add("after", transaction({{"3333333"}}, "also fine"));
    ASSERT_TRUE(waitFor([&] { return m_outcomes.size() == 3; }));

    EXPECT_EQ(failures, QStringList{QStringLiteral("the log window is gone")});
    EXPECT_TRUE(m_outcomes.value("failing").failed);
    for (const char* name : {"before", "after"}) {
        EXPECT_FALSE(m_outcomes.value(name).failed) << name;
        EXPECT_FALSE(m_outcomes.value(name).refusal) << name;
        EXPECT_EQ(m_outcomes.value(name).ids.size(), 1) << name;
    }
    EXPECT_EQ(queuedPins(), (QList<QByteArray>{"1111111", "2222222", "3333333"}));
}

} // namespace
