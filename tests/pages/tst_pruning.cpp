#include "pages/pagessettings.h"
#include "tests/pages/pagestorefixture.h"

namespace {

using S = PageState;

TEST_F(PageStoreTest, PagesWaitingLongerThanMaxAgeHoursExpireWithTheReasonAndLeaveTheQueue)
{
    const qint64 oldQueued = take(newPage("5551000", "old"));
    NewPage later = newPage("5552000", "old and held");
    later.notBefore = clock.addDays(2);
    const qint64 oldHeld = take(later);
    const qint64 oldSending = take(newPage("5551000", "old, in a call"));
    ASSERT_TRUE(pages().markSending(oldSending));
    clock = clock.addSecs(2 * 3600);
    const qint64 young = take(newPage("5551000", "young"));
    clock = clock.addSecs(3600 + 60);

    PagesSettings off;
    EXPECT_TRUE(pages().prune(off).expired.isEmpty()) << "MaxAgeHours 0 expires nothing";

    PagesSettings settings;
    settings.maxAgeHours = 3;
    const PageStore::PruneResult result = pages().prune(settings);
    ASSERT_EQ(result.expired.size(), 2);
    EXPECT_EQ(result.expired[0].id, oldQueued);
    EXPECT_EQ(result.expired[0].message.key, "MSG1");
    EXPECT_EQ(result.expired[1].id, oldHeld);
    EXPECT_EQ(result.expired[1].section, "5552000");
    EXPECT_EQ(stateOf(oldQueued), S::Expired);
    EXPECT_EQ(pages().page(oldHeld)->reason, "Not sent within 3 hours");
    EXPECT_EQ(stateOf(oldSending), S::Sending) << "a page in a call is left to its call";
    EXPECT_EQ(stateOf(young), S::Queued);

    pageQueue().remove(result.expired);
    EXPECT_FALSE(lineOf(oldQueued));
    EXPECT_FALSE(pages().page(oldQueued)->inQueue);
    EXPECT_TRUE(lineOf(young));
    EXPECT_EQ(queue().readCompany("5552000").messages.size(), 0);
}

TEST_F(PageStoreTest, FinalPagesOlderThanKeepDaysGoWithTheirHistoryAndNothingElseDoes)
{
    const qint64 old = take(newPage("5551000", "old"));
    const qint64 oldFailed = take(newPage("5551000", "old, refused"));
    const qint64 waiting = take(newPage("5551000", "still waiting"));
    const qint64 unremoved = take(newPage("5551000", "entry still in the file"));
    pages().markSending(old);
    pageQueue().delivered(old, "5551000", *lineOf(old));
    pages().markSending(oldFailed);
    pageQueue().failed(oldFailed, "Line Busy!", "5551000", *lineOf(oldFailed));
    pages().markSending(unremoved);
    pages().markDelivered(unremoved);
    clock = clock.addDays(20);
    const qint64 recent = take(newPage("5551000", "recent"));
    pages().markSending(recent);
    pageQueue().delivered(recent, "5551000", *lineOf(recent));
    pages().takeNotifications(100, true);
    clock = clock.addDays(11);

    const QString history = QStringLiteral("SELECT COUNT(*) FROM history WHERE page_id IN (%1, %2)")
                                .arg(old)
                                .arg(oldFailed);
    ASSERT_GT(countRows(history), 0);
    EXPECT_EQ(pages().prune(PagesSettings{}).removed, 2); // KeepDays 30
    EXPECT_FALSE(pages().page(old));
    EXPECT_FALSE(pages().page(oldFailed));
    EXPECT_EQ(countRows(history), 0) << "the history of removed pages stayed";
    EXPECT_TRUE(pages().page(waiting)) << "a page still to be sent is never pruned";
    EXPECT_TRUE(pages().page(unremoved)) << "its entry is still in the queue file";
    EXPECT_TRUE(pages().page(recent));

    PagesSettings week;
    week.keepDays = 7;
    EXPECT_EQ(pages().prune(week).removed, 1);
    EXPECT_FALSE(pages().page(recent));
}

TEST_F(PageStoreTest, APageWhoseNotificationIsStillDueIsKept)
{
    const qint64 id = take(newPage("5551000", "done"));
    pages().markSending(id);
    pageQueue().delivered(id, "5551000", *lineOf(id));
    clock = clock.addDays(40);
    EXPECT_EQ(pages().prune(PagesSettings{}).removed, 0);
    pages().takeNotifications(10, true);
    EXPECT_EQ(pages().prune(PagesSettings{}).removed, 1);
}

} // namespace
