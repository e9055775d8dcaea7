#include "core/serverstate.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "runtime/nextcheckcountdown.h"
#include "tests/support/servercoretest.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class CountdownTest : public ServerCoreTest
{
protected:
    NextCheckCountdown countdown{core};
    int runs = 0;
    bool busyDuringRun = false;

    void SetUp() override
    {
        countdown.setOnAutomaticRun([this] {
            ++runs;
            busyDuringRun = core.serverBusy();
            core.setServerBusy(false);
        });
    }
    static QDateTime at(int hour, int minute, int second)
    {
        return QDateTime(QDate(2026, 3, 14), QTime(hour, minute, second));
    }
    // `n` pages queued through the server's queue, which counts them.
    void queuePages(int n)
    {
        const QueueSubmission page{"5551234", {}, {"m", "", "1", "127.0.0.9", "i"}};
        ASSERT_TRUE(core.queue().add(QList<QueueSubmission>(n, page)));
    }
    // One tick at second 00 of consecutive minutes.
    void minutes(int count)
    {
        for (int i = 0; i < count; ++i)
            countdown.tick(at(10, i % 60, 0));
    }
};

TEST_F(CountdownTest, OnlyTicksAtSecondZeroCountAMinute)
{
    configure([&](TServerConfig& c) { c.QueTime = 5; });
    core.setNextCheck(5);
    countdown.tick(at(10, 0, 1));
    countdown.tick(at(10, 0, 59));
    EXPECT_EQ(core.nextCheck(), 5);
    countdown.tick(at(10, 1, 0));
    EXPECT_EQ(core.nextCheck(), 4);
    // Two ticks inside the same second 00 count twice.
    countdown.tick(at(10, 1, 0));
    EXPECT_EQ(core.nextCheck(), 3);
    EXPECT_EQ(core.nextCheck(), 3);
    EXPECT_FALSE(core.clockText().isEmpty());
}

TEST_F(CountdownTest, ReachingZeroWithMessagesQueuedStartsABusyRunAndResets)
{
    configure([&](TServerConfig& c) { c.QueTime = 3; });
    core.setNextCheck(3);
    queuePages(2);
    minutes(2);
    EXPECT_EQ(runs, 0);
    minutes(1);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(busyDuringRun);
    EXPECT_EQ(core.nextCheck(), 3);
    EXPECT_EQ(core.nextCheck(), 3);
}

TEST_F(CountdownTest, ReachingZeroWithNothingQueuedResetsAndStartsNothing)
{
    configure([&](TServerConfig& c) { c.QueTime = 2; });
    core.setNextCheck(2);
    // A queue file without a message (its key emptied) is nothing queued either.
    dir.write(MessageQueueFile::FileName, "[5551234]\r\nLength=80\r\nMSG1=\r\n");
    minutes(2);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(core.serverBusy());
    EXPECT_EQ(core.nextCheck(), 2);
}

TEST_F(CountdownTest, APageInTheQueueFileStartsTheRunWhenTheCounterMissedIt)
{
    configure([&](TServerConfig& c) { c.QueTime = 1; });
    core.setNextCheck(1);
    ASSERT_EQ(core.queuedCount(), 0);
    dir.write(MessageQueueFile::FileName, "[5551234]\r\nLength=80\r\nMSG7=*MSG*x*PIN*1\r\n");
    minutes(1);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(busyDuringRun);
}

TEST_F(CountdownTest, ANewCheckIntervalWaitsForTheNextReset)
{
    configure([&](TServerConfig& c) { c.QueTime = 3; });
    core.setNextCheck(3);
    minutes(1);
    configure([&](TServerConfig& c) { c.QueTime = 10; });
    EXPECT_EQ(core.nextCheck(), 2);
    minutes(2);
    EXPECT_EQ(core.nextCheck(), 10);
}

TEST_F(CountdownTest, CheckIntervalZeroCountsBelowZeroAndNeverRuns)
{
    configure([&](TServerConfig& c) { c.QueTime = 0; });
    core.setNextCheck(0);
    queuePages(1);
    minutes(3);
    EXPECT_EQ(core.nextCheck(), -3);
    EXPECT_EQ(core.nextCheck(), -3);
    EXPECT_EQ(runs, 0);
}

TEST_F(CountdownTest, NoRunStartsWhileOneIsInProgress)
{
    configure([&](TServerConfig& c) { c.QueTime = 1; });
    core.setNextCheck(1);
    queuePages(1);
    core.setServerBusy(true);
    minutes(1);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(core.nextCheck(), 0);
}

TEST_F(CountdownTest, ACheckMissedDuringALongRunIsMadeUpAfterIt)
{
    configure([&](TServerConfig& c) { c.QueTime = 2; });
    core.setNextCheck(2);
    queuePages(1);
    // The run lasts three minutes: their ticks arrive inside it.
    countdown.setOnAutomaticRun([this] {
        ++runs;
        if (runs == 1) {
            for (int i = 0; i < 3; ++i)
                countdown.tick(at(11, i, 0));
        }
        core.setServerBusy(false);
    });
    minutes(2);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(core.nextCheck(), -1);
    minutes(1);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(core.nextCheck(), 2);
}

TEST_F(CountdownTest, WithoutARunHandlerTheServerNeverStaysBusy)
{
    NextCheckCountdown bare(core);
    configure([&](TServerConfig& c) { c.QueTime = 1; });
    core.setNextCheck(1);
    queuePages(4);
    bare.tick(at(9, 0, 0));
    EXPECT_FALSE(core.serverBusy());
    EXPECT_EQ(core.nextCheck(), 1);
}

TEST_F(CountdownTest, BothLogsAreEmptiedOnlyAtMidnightSharp)
{
    core.addConnectionLog(QStringLiteral("c"));
    core.addTransmitLog(QStringLiteral("t"));
    countdown.tick(at(23, 59, 59));
    countdown.tick(at(0, 0, 1));
    EXPECT_EQ(core.connectionLog().size(), 1);
    EXPECT_EQ(core.transmitLog().size(), 1);
    countdown.tick(at(0, 0, 0));
    EXPECT_TRUE(core.connectionLog().isEmpty());
    EXPECT_TRUE(core.transmitLog().isEmpty());
}

} // namespace

namespace {

TEST_F(CountdownTest, CountdownAtTheBottomOfItsRangeStaysThere)
{
    configure([&](TServerConfig& c) { c.QueTime = 0; });
    core.setNextCheck(std::numeric_limits<qint32>::min() + 1);
    minutes(3);
    EXPECT_EQ(core.nextCheck(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(runs, 0);
}

} // namespace
