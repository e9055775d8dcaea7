#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"

#include <gtest/gtest.h>

namespace {

class TimeCounterTest : public ::testing::Test
{
protected:
    Pacing pacing{0.005};
};

TEST_F(TimeCounterTest, StartsIdleWithSixtySeconds)
{
    TTimeCounter counter(pacing);
    EXPECT_EQ(counter.TimeOut(), 60);
    EXPECT_FALSE(counter.TimedOut());
    EXPECT_FALSE(counter.isRunning());
}

TEST_F(TimeCounterTest, TimesOutWhenTheCountReachesZeroAndGoesOnBelow)
{
    TTimeCounter counter(pacing);
    counter.setTimeOut(5);
    counter.Start();
    EXPECT_EQ(counter.count(), 5);
    int ticksSeen = 0;
    qint32 last = counter.count();
    while (!counter.TimedOut()) {
        EventPump::waitForEvents();
        if (counter.count() != last) {
            ++ticksSeen;
            last = counter.count();
        }
        ASSERT_FALSE(counter.TimedOut() && counter.count() > 0)
            << "timed out with " << counter.count() << " seconds to go";
    }
    EXPECT_LE(counter.count(), 0);
    EXPECT_GE(ticksSeen, 1);
    // The timer keeps running after the time-out, and the count keeps falling.
    EXPECT_TRUE(counter.isRunning());
    while (counter.count() > -2)
        EventPump::waitForEvents();
    EXPECT_TRUE(counter.TimedOut());
    counter.Stop();
    EXPECT_FALSE(counter.isRunning());
    const qint32 stopped = counter.count();
    pacing.pauseResponsive(50);
    EXPECT_EQ(counter.count(), stopped);
    EXPECT_TRUE(counter.TimedOut());
}

TEST_F(TimeCounterTest, StartAgainResetsTheCountButNotTimedOut)
{
    TTimeCounter counter(pacing);
    counter.setTimeOut(1);
    counter.Start();
    ASSERT_FALSE(waitUntil(counter, [] { return false; }));
    counter.Stop();
    counter.setTimeOut(30);
    counter.Start();
    EXPECT_EQ(counter.count(), 30);
    EXPECT_TRUE(counter.TimedOut());
    // A wait on a counter that already timed out does not wait at all.
    bool checked = false;
    EXPECT_FALSE(waitUntil(counter, [&] {
        checked = true;
        return false;
    }));
    EXPECT_TRUE(checked);
    counter.setTimedOut(false);
    EXPECT_FALSE(counter.TimedOut());
}

TEST_F(TimeCounterTest, ZeroOrNegativeTimeOutExpiresAtTheFirstTick)
{
    for (const qint32 timeOut : {0, -3}) {
        TTimeCounter counter(pacing);
        counter.setTimeOut(timeOut);
        counter.Start();
        EXPECT_FALSE(counter.TimedOut()) << "no tick has come yet";
        while (counter.count() == timeOut)
            EventPump::waitForEvents();
        EXPECT_TRUE(counter.TimedOut()) << timeOut;
        EXPECT_EQ(counter.count(), timeOut - 1);
    }
}

TEST_F(TimeCounterTest, WaitEndsAsSoonAsTheConditionHolds)
{
    TTimeCounter counter(pacing);
    counter.setTimeOut(1000);
    counter.Start();
    int passes = 0;
    EXPECT_TRUE(waitUntil(counter, [&] { return ++passes == 3; }));
    EXPECT_FALSE(counter.TimedOut());
    EXPECT_EQ(passes, 3);
}

} // namespace
