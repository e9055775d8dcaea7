#include "pages/pagessettings.h"
#include "pages/pagestoreerror.h"
#include "queue/messagequeue.h"
#include "tests/pages/pagestorefixture.h"

#include <QDir>
#include <QSignalSpy>

namespace {

using S = PageState;

// Every state a page can be brought to through the store's own calls. Each case is a page of
// its own in one store, since clearing the queue touches every waiting page.
class Transitions : public PageStoreTest
{
protected:
    qint64 pageIn(PageState state)
    {
        const QByteArray text = "page " + PageStates::name(state) + ' ' + QByteArray::number(++n);
        NewPage page = newPage("5551000", text);
        if (state == S::Held)
            page.notBefore = clock.addSecs(3600);
        if (state == S::Accepting)
            return pages().accept({page}).first();
        const qint64 id = take(page);
        switch (state) {
        case S::Sending:
            EXPECT_TRUE(pages().markSending(id));
            break;
        case S::Delivered:
            EXPECT_TRUE(pages().markSending(id));
            EXPECT_TRUE(pages().markDelivered(id));
            break;
        case S::Failed:
            EXPECT_TRUE(pages().markFailed(id, "Invalid ID Or Bad Link!"));
            break;
        default:
            break;
        }
        return id;
    }
    int n = 0;
};

TEST_F(Transitions, EachCallMovesOnlyFromTheStatesThatAllowItAndFinalStatesNeverChange)
{
    struct Call
    {
        const char* name;
        std::function<bool(PageStore&, qint64)> run;
        PageState to;
    };
    const Call calls[] = {
        {"markSending", [](PageStore& s, qint64 id) { return s.markSending(id); }, S::Sending},
        {"markDelivered", [](PageStore& s, qint64 id) { return s.markDelivered(id); },
         S::Delivered},
        {"markFailed", [](PageStore& s, qint64 id) { return s.markFailed(id, "Line Busy!"); },
         S::Failed},
        {"requeue", [](PageStore& s, qint64 id) { return s.requeue(id, "call ended"); }, S::Queued},
    };
    // What each call may do from each state (the run's side of the rules).
    const std::map<std::pair<PageState, PageState>, bool> allowed = {
        {{S::Queued, S::Sending}, true}, {{S::Sending, S::Delivered}, true},
        {{S::Queued, S::Failed}, true},  {{S::Held, S::Failed}, true},
        {{S::Sending, S::Failed}, true}, {{S::Sending, S::Queued}, true},
    };
    for (const PageState from :
         {S::Accepting, S::Queued, S::Held, S::Sending, S::Delivered, S::Failed}) {
        for (const Call& call : calls) {
            const qint64 id = pageIn(from);
            ASSERT_EQ(stateOf(id), from);
            const auto before = pages().page(id);
            const bool expected = allowed.count({from, call.to}) > 0;
            EXPECT_EQ(call.run(pages(), id), expected)
                << call.name << " from " << PageStates::name(from).constData();
            const auto after = pages().page(id);
            if (expected) {
                EXPECT_EQ(after->state, call.to);
                EXPECT_EQ(after->history.size(), before->history.size() + 1);
            } else {
                EXPECT_EQ(after->state, from) << call.name << " changed a page it must refuse";
                EXPECT_EQ(after->history.size(), before->history.size());
                EXPECT_EQ(after->reason, before->reason);
            }
        }
    }
    EXPECT_FALSE(pages().markSending(999)) << "a page that does not exist";
}

TEST_F(Transitions, ClearingReleasingAndExpiringTouchOnlyWaitingPages)
{
    // One page in each state, then each mass change in turn on a store of its own.
    for (int which = 0; which < 3; ++which) {
        TempDataDir own;
        PageStore store(own.path(), [this] { return clock; });
        MessageQueue file(own.path());
        PageQueue queue(store, file);
        std::map<PageState, qint64> ids;
        for (const PageState state : {S::Queued, S::Held, S::Sending, S::Delivered, S::Failed}) {
            NewPage page = newPage("5551000", PageStates::name(state));
            if (state == S::Held)
                page.notBefore = clock.addSecs(60);
            ids[state] = queue.take({page})->first();
        }
        ids[S::Accepting] = store.accept({newPage("5551000", "accepting")}).first();
        store.markSending(ids[S::Sending]);
        store.markSending(ids[S::Delivered]);
        store.markDelivered(ids[S::Delivered]);
        store.markFailed(ids[S::Failed], "Line Busy!");
        std::map<PageState, PageState> expected;
        for (const auto& [state, id] : ids)
            expected[state] = state;
        if (which == 0) {
            EXPECT_EQ(store.markCancelled("Message Queue Cleared!").size(), 2);
            expected[S::Queued] = expected[S::Held] = S::Cancelled;
        } else if (which == 1) {
            EXPECT_TRUE(store.releaseDue().isEmpty()) << "released before its time";
            clock = clock.addSecs(60);
            EXPECT_EQ(store.releaseDue(), QList<qint64>{ids[S::Held]});
            clock = clock.addSecs(-60);
            expected[S::Held] = S::Queued;
        } else {
            clock = clock.addSecs(2 * 3600);
            PagesSettings settings;
            settings.maxAgeHours = 1;
            EXPECT_EQ(store.prune(settings).expired.size(), 2);
            clock = clock.addSecs(-2 * 3600);
            expected[S::Queued] = expected[S::Held] = S::Expired;
        }
        for (const auto& [state, id] : ids)
            EXPECT_EQ(store.page(id)->state, expected[state])
                << "case " << which << ", page that was " << PageStates::name(state).constData();
    }
}

TEST_F(PageStoreTest, IdsAreNeverHandedOutTwiceAcrossRestartsAbandonsAndPruning)
{
    const qint64 first = take(newPage("5551000", "one"));
    const qint64 second = take(newPage("5551000", "two"));
    EXPECT_LT(first, second);
    // The highest id goes: its page is delivered and pruned, then an abandoned accept.
    ASSERT_TRUE(pages().markSending(second));
    pageQueue().delivered(second, "5551000", *lineOf(second));
    clock = clock.addDays(31);
    EXPECT_EQ(pages().prune(PagesSettings{}).removed, 0) << "its notification is still due";
    pages().takeNotifications(10, false);
    EXPECT_EQ(pages().prune(PagesSettings{}).removed, 1);
    reopen();
    const qint64 abandoned = pages().accept({newPage("5551000", "three")}).first();
    EXPECT_GT(abandoned, second) << "the id of a pruned page was handed out again";
    pages().abandon({abandoned});
    EXPECT_FALSE(pages().page(abandoned));
    reopen();
    const QList<qint64> later =
        pageQueue().take({newPage("5551000", "four"), newPage("5552000", "five")}).value();
    EXPECT_GT(later.first(), abandoned) << "the id of an abandoned page was handed out again";
    EXPECT_EQ(later.last(), later.first() + 1);
}

TEST_F(PageStoreTest, APageTheQueueCouldNotTakeLeavesNoRecord)
{
    // A full section: MSG1 .. MSG9999 are taken.
    QByteArray full = "[5551000]\r\n";
    for (int n = 1; n <= MessageQueueFile::MaxMessageNumber; ++n)
        full += "MSG" + QByteArray::number(n) + "=*MSG*x*PIN*1*USR*h*ID*i\r\n";
    dir.write(MessageQueueFile::FileName, full);
    EXPECT_FALSE(pageQueue().take({newPage("5552000", "fits"), newPage("5551000", "no room")}));
    // A queue file that cannot be written.
    queue().remove();
    QDir(dir.path()).mkdir(MessageQueueFile::FileName);
    EXPECT_THROW(pageQueue().take({newPage("5552000", "cannot be written")}), EZelkorError);
    const QMap<PageState, qint64> counts = pages().counts();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        EXPECT_EQ(it.value(), 0) << "a page that was not taken has a record: "
                                 << PageStates::name(it.key()).constData();
}

TEST_F(PageStoreTest, ARecordKeepsEveryFieldByteForByteWithItsHistory)
{
    NewPage page;
    page.pagerId = "ops-group";
    page.section = " 1-800-555-0100 ";
    page.settings = {"se cret", 120, 1, 3, 2};
    QByteArray every;
    for (int c = 1; c < 256; ++c)
        every += char(c);
    page.entry = QueueEntry{every, "sig", "778899", "192.168.1.20", "On Call"};
    page.senderIdentity = "nagios@mon1";
    page.frontEnd = FrontEnd::Alertmanager;
    page.notBefore = clock.addSecs(600);
    const qint64 id = take(page);
    clock = clock.addSecs(1200);
    ASSERT_EQ(pages().releaseDue(), QList<qint64>{id});
    ASSERT_TRUE(pages().markSending(id));
    pages().addNote(id, "on the call to 1-800-555-0100");
    ASSERT_TRUE(pages().markFailed(id, "Invalid ID Or Bad Link!"));
    reopen();

    const auto r = pages().page(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->pagerId, "ops-group");
    EXPECT_EQ(r->company, " 1-800-555-0100 ");
    EXPECT_EQ(r->pin, "778899");
    EXPECT_EQ(r->sender, "192.168.1.20");
    EXPECT_EQ(r->senderIdentity, "nagios@mon1");
    EXPECT_EQ(r->frontEnd, FrontEnd::Alertmanager);
    EXPECT_EQ(r->settings.password, "se cret");
    EXPECT_EQ(r->settings.length, 120);
    EXPECT_EQ(r->settings.parity, 1);
    EXPECT_EQ(r->settings.dataBits, 3);
    EXPECT_EQ(r->settings.stopBits, 2);
    EXPECT_EQ(r->text, every);
    EXPECT_EQ(r->signature, "sig");
    EXPECT_EQ(r->addressee, "On Call");
    EXPECT_EQ(r->notBefore, page.notBefore);
    EXPECT_EQ(r->acceptedAt, clock.addSecs(-1200));
    EXPECT_EQ(r->finishedAt, clock);
    EXPECT_EQ(r->state, S::Failed);
    EXPECT_EQ(r->reason, "Invalid ID Or Bad Link!");
    EXPECT_EQ(r->tie.key, "MSG1");
    EXPECT_EQ(r->tie.value, page.entry.format());

    QList<PageState> states;
    for (const PageHistoryEntry& h : r->history)
        states.append(h.state);
    EXPECT_EQ(states, (QList<PageState>{S::Accepting, S::Held, S::Queued, S::Sending, S::Sending,
                                        S::Failed}));
    EXPECT_EQ(r->history.first().note,
              "accepted over alertmanager from 192.168.1.20 (nagios@mon1)");
    EXPECT_EQ(r->history[4].note, "on the call to 1-800-555-0100");
    EXPECT_EQ(r->history.last().note, "Invalid ID Or Bad Link!");
}

TEST_F(PageStoreTest, RecentIsNewestFirstAndCountsCoverEveryState)
{
    QList<qint64> ids;
    for (int i = 0; i < 5; ++i)
        ids.append(take(newPage("5551000", "page " + QByteArray::number(i))));
    pages().markSending(ids[0]);
    pages().markDelivered(ids[0]);
    pages().markFailed(ids[1], "Line Busy!");
    pages().markSending(ids[2]);
    const QList<PageRecord> recent = pages().recent(3);
    ASSERT_EQ(recent.size(), 3);
    EXPECT_EQ(recent[0].id, ids[4]);
    EXPECT_EQ(recent[2].id, ids[2]);
    const QMap<PageState, qint64> counts = pages().counts();
    EXPECT_EQ(counts.size(), 8);
    EXPECT_EQ(counts[S::Queued], 2);
    EXPECT_EQ(counts[S::Sending], 1);
    EXPECT_EQ(counts[S::Delivered], 1);
    EXPECT_EQ(counts[S::Failed], 1);
    EXPECT_EQ(counts[S::Cancelled], 0);
}

TEST_F(PageStoreTest, TwoIdenticalPagesToOneCompanyAreTwoLinesWithTwoIds)
{
    const NewPage same = newPage("5551000", "disk full");
    const QList<qint64> ids = pageQueue().take({same, same}).value();
    ASSERT_EQ(ids.size(), 2);
    const QueuedCompany company = queue().readCompany("5551000");
    ASSERT_EQ(company.messages.size(), 2);
    EXPECT_EQ(pages().idsOf(company), (QList<std::optional<qint64>>{ids[0], ids[1]}));
    // The first is sent and removed: the second still names its own line.
    pages().markSending(ids[0]);
    pageQueue().delivered(ids[0], "5551000", company.messages[0]);
    const QueuedCompany left = queue().readCompany("5551000");
    ASSERT_EQ(left.messages.size(), 1);
    EXPECT_EQ(left.messages[0].key, "MSG2");
    EXPECT_EQ(pages().idsOf(left), (QList<std::optional<qint64>>{ids[1]}));
}

TEST_F(PageStoreTest, FinalStatesAreAnnouncedOnceEach)
{
    QSignalSpy finished(&pages(), &PageStore::pageFinished);
    const qint64 a = take(newPage("5551000", "a"));
    const qint64 b = take(newPage("5551000", "b"));
    const qint64 c = take(newPage("5551000", "c"));
    pages().markSending(a);
    EXPECT_EQ(finished.size(), 0);
    pages().markDelivered(a);
    pages().markDelivered(a);
    pages().markFailed(b, "Line Busy!");
    pages().markCancelled("Message Queue Cleared!");
    pages().markCancelled("Message Queue Cleared!");
    ASSERT_EQ(finished.size(), 3);
    EXPECT_EQ(finished[0][0].toLongLong(), a);
    EXPECT_EQ(finished[1][0].toLongLong(), b);
    EXPECT_EQ(finished[2][0].toLongLong(), c);
}

TEST_F(PageStoreTest, StoresOnOneFileEachHaveTheirOwnConnectionAndSeeEachOther)
{
    const qint64 id = take(newPage("5551000", "one"));
    {
        PageStore second(dir.path(), [this] { return clock; });
        ASSERT_TRUE(second.markSending(id));
        PageStore third(dir.path(), [this] { return clock; });
        EXPECT_EQ(third.page(id)->state, S::Sending);
    }
    // The others closing their connections left this one open.
    EXPECT_EQ(stateOf(id), S::Sending);
    EXPECT_TRUE(pages().markDelivered(id));
}

TEST_F(PageStoreTest, TheFileIsAWriteAheadLogAndADamagedFileIsAnErrorNotACrash)
{
    take(newPage("5551000", "one"));
    EXPECT_TRUE(dir.exists(PageStore::FileName + QStringLiteral("-wal")))
        << "the store does not write through a write-ahead log";

    TempDataDir garbage;
    garbage.write(PageStore::FileName, QByteArray(4096, 'x'));
    EXPECT_THROW(PageStore(garbage.path()), EPageStoreError);
    TempDataDir folder;
    QDir(folder.path()).mkdir(PageStore::FileName);
    EXPECT_THROW(PageStore(folder.path()), EPageStoreError);
}

} // namespace
