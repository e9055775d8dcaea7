#include "pages/pagestoreerror.h"
#include "tests/pages/pagestorefixture.h"

#include <QDir>
#include <QSignalSpy>

namespace {

using S = PageState;
using Step = PageQueue::Step;

class Reconcile : public PageStoreTest
{
protected:
    // A page already waiting, so no kill case finds an empty file.
    void SetUp() override { other = take(newPage("5551000", "already here")); }
    qint64 other = 0;

    QList<QueuedCompany::Message> lines(const QByteArray& section)
    {
        return queue().readCompany(section).messages;
    }
};

TEST_F(Reconcile, AKillWhilePagesAreTakenLeavesThemTakenOrNotButNeverHalfTaken)
{
    // Before the record: nothing happened.
    killAt(Step::Accept);
    EXPECT_THROW(pageQueue().take({newPage("5551000", "new")}), Killed);
    ReconcileReport report = restart();
    EXPECT_EQ(report.dropped + report.confirmed + report.adopted.size(), 0);
    EXPECT_EQ(lines("5551000").size(), 1);
    expectAgreement();

    // Recorded, not written: never answered "250", so nothing was taken.
    killAt(Step::QueueWrite);
    EXPECT_THROW(pageQueue().take({newPage("5551000", "new"), newPage("5552000", "new")}), Killed);
    EXPECT_EQ(pages().counts()[S::Accepting], 2);
    report = restart();
    EXPECT_EQ(report.dropped, 2);
    EXPECT_EQ(pages().counts()[S::Accepting], 0);
    EXPECT_EQ(lines("5551000").size(), 1);
    expectAgreement();

    // Written, not confirmed: the pages are in the queue, so they are queued (a held one held).
    killAt(Step::Confirm);
    NewPage held = newPage("5552000", "later");
    held.notBefore = clock.addSecs(3600);
    EXPECT_THROW(pageQueue().take({newPage("5551000", "new"), held}), Killed);
    report = restart();
    ASSERT_EQ(report.confirmed, 2);
    EXPECT_EQ(report.dropped, 0);
    const QList<PageRecord> recent = pages().recent(2);
    ASSERT_EQ(recent.size(), 2);
    EXPECT_EQ(recent[0].state, S::Held);
    EXPECT_EQ(recent[0].tie.key, "MSG1");
    EXPECT_EQ(recent[1].state, S::Queued);
    EXPECT_EQ(recent[1].tie.key, "MSG2");
    expectAgreement();
}

TEST_F(Reconcile, AKillDuringACallSendsAPageAgainOnlyWhenItsFateWasNotRecorded)
{
    const qint64 id = take(newPage("5551000", "to send"));
    const QueuedCompany::Message line = *lineOf(id);

    // The terminal acknowledged it, the kill came before that was recorded: it goes again.
    ASSERT_TRUE(pages().markSending(id));
    killAt(Step::RecordFate);
    EXPECT_THROW(pageQueue().delivered(id, "5551000", line), Killed);
    ReconcileReport report = restart();
    EXPECT_EQ(report.requeued, QList<qint64>{id});
    EXPECT_EQ(stateOf(id), S::Queued);
    expectAgreement();

    // Recorded, not removed: the entry goes, the page is not sent again.
    ASSERT_TRUE(pages().markSending(id));
    killAt(Step::RemoveEntry);
    EXPECT_THROW(pageQueue().delivered(id, "5551000", line), Killed);
    report = restart();
    EXPECT_TRUE(report.requeued.isEmpty());
    ASSERT_EQ(report.toRemove.size(), 1);
    EXPECT_EQ(report.toRemove.first().id, id);
    EXPECT_EQ(stateOf(id), S::Delivered);
    EXPECT_EQ(lines("5551000").size(), 1) << "only the other page is left";
    expectAgreement();

    // Refused by the terminal, removed, the removal not recorded.
    const qint64 refused = take(newPage("5551000", "to refuse"));
    const QueuedCompany::Message refusedLine = *lineOf(refused);
    ASSERT_TRUE(pages().markSending(refused));
    killAt(Step::RecordRemoval);
    EXPECT_THROW(pageQueue().failed(refused, "Invalid ID Or Bad Link!", "5551000", refusedLine),
                 Killed);
    report = restart();
    EXPECT_TRUE(report.toRemove.isEmpty());
    EXPECT_EQ(stateOf(refused), S::Failed);
    EXPECT_EQ(pages().page(refused)->reason, "Invalid ID Or Bad Link!");
    expectAgreement();
}

TEST_F(Reconcile, AKillWhileTheQueueIsClearedFinishesTheClearing)
{
    NewPage later = newPage("5552000", "later");
    later.notBefore = clock.addSecs(600);
    const qint64 held = take(later);

    killAt(Step::RecordCancel);
    EXPECT_THROW(pageQueue().clear("Message Queue Cleared!"), Killed);
    restart();
    EXPECT_EQ(stateOf(other), S::Queued);
    EXPECT_EQ(stateOf(held), S::Held);
    expectAgreement();

    killAt(Step::DeleteQueue);
    EXPECT_THROW(pageQueue().clear("Message Queue Cleared!"), Killed);
    ReconcileReport report = restart();
    EXPECT_EQ(report.toRemove.size(), 2);
    EXPECT_EQ(stateOf(other), S::Cancelled);
    EXPECT_EQ(stateOf(held), S::Cancelled);
    EXPECT_EQ(queue().countMessages(), 0);
    expectAgreement();
}

TEST_F(Reconcile, LinesWithoutAPageGetOneWithTheSectionsSettings)
{
    queue().remove();
    reopen();
    pages().markCancelled("gone");
    pages().markQueueDeleted();
    dir.write(MessageQueueFile::FileName,
              "[5553000]\r\nPassword=abc\r\nLength=120\r\nParity=1\r\nDataBits=3\r\n"
              "StopBits=2\r\nMSG1=*MSG*by hand*PIN*42*USR*10.0.0.9*ID*Lee\r\n"
              "[5554000]\r\nMSG7=" +
                  MessageQueueFile::testEntry("99").format() + "\r\n");
    const ReconcileReport report = restart();
    ASSERT_EQ(report.adopted.size(), 2);
    const PageRecord byHand = *pages().page(report.adopted[0]);
    EXPECT_EQ(byHand.state, S::Queued);
    EXPECT_EQ(byHand.frontEnd, FrontEnd::Unknown);
    EXPECT_EQ(byHand.pin, "42");
    EXPECT_EQ(byHand.pagerId, "42");
    EXPECT_EQ(byHand.text, "by hand");
    EXPECT_EQ(byHand.sender, "10.0.0.9");
    EXPECT_EQ(byHand.settings.password, "abc");
    EXPECT_EQ(byHand.settings.length, 120);
    EXPECT_EQ(byHand.settings.parity, 1);
    EXPECT_EQ(byHand.settings.dataBits, 3);
    EXPECT_EQ(byHand.settings.stopBits, 2);
    const PageRecord test = *pages().page(report.adopted[1]);
    EXPECT_EQ(test.frontEnd, FrontEnd::Test);
    EXPECT_EQ(test.tie.key, "MSG7");
    EXPECT_EQ(test.settings.length, 80) << "a section without settings: the run's defaults";
    EXPECT_EQ(test.settings.parity, 2);
    expectAgreement();
    EXPECT_EQ(restart().adopted.size(), 0) << "a second start adopted them again";
}

TEST_F(Reconcile, APageWhoseLineWasRemovedByHandFailsWithTheReason)
{
    const qint64 sending = take(newPage("5551000", "in a call"));
    ASSERT_TRUE(pages().markSending(sending));
    queue().remove();
    reopen();
    QSignalSpy finishedAfter(&pages(), &PageStore::pageFinished);
    const ReconcileReport report = pages().reconcile(queue());
    EXPECT_EQ(report.lost, (QList<qint64>{other, sending}));
    EXPECT_EQ(stateOf(other), S::Failed);
    EXPECT_EQ(pages().page(sending)->reason, "Removed from Message.Dat outside the server");
    EXPECT_EQ(finishedAfter.size(), 2) << "their notifications are due";
    expectAgreement();
}

TEST_F(Reconcile, ASectionLeftTwiceByHandGivesEachIdenticalLineAPageOfItsOwn)
{
    const QByteArray value = lines("5551000").first().value;
    dir.write(MessageQueueFile::FileName,
              dir.read(MessageQueueFile::FileName) + "[5551000]\r\nMSG1=" + value + "\r\n");
    const ReconcileReport report = restart();
    ASSERT_EQ(report.adopted.size(), 1);
    const QList<std::optional<qint64>> ids = pages().idsOf(queue().readCompany("5551000"));
    EXPECT_EQ(ids, (QList<std::optional<qint64>>{other, report.adopted.first()}));
    expectAgreement();
    // Sent one after the other, each removes one line.
    for (const auto& id : ids) {
        const QueuedCompany::Message line = lines("5551000").first();
        ASSERT_TRUE(pages().markSending(*id));
        pageQueue().delivered(*id, "5551000", line);
    }
    EXPECT_EQ(queue().countMessages(), 0);
}

TEST_F(Reconcile, APageThatReusesTheKeyAndTextOfOneWhoseRemovalWasCutKeepsItsLine)
{
    const QueuedCompany::Message line = *lineOf(other);
    ASSERT_TRUE(pages().markSending(other));
    // The entry is removed, the kill comes before its removal is recorded ...
    killAt(Step::RecordRemoval);
    EXPECT_THROW(pageQueue().delivered(other, "5551000", line), Killed);
    pageQueue().setStepObserver({});
    // ... and meanwhile the same text to the same PIN took the freed key.
    const qint64 again = take(newPage("5551000", "already here"));
    ASSERT_EQ(lineOf(again)->key, line.key);
    const ReconcileReport report = restart();
    EXPECT_TRUE(report.toRemove.isEmpty()) << "the new page's line was taken for the old one's";
    EXPECT_EQ(stateOf(again), S::Queued);
    EXPECT_EQ(lines("5551000").size(), 1);
    expectAgreement();
}

TEST_F(Reconcile, AQueueFileThatCannotBeReadChangesNothing)
{
    queue().remove();
    QDir(dir.path()).mkdir(MessageQueueFile::FileName);
    reopen();
    EXPECT_THROW(pages().reconcile(queue()), EPageStoreError);
    EXPECT_EQ(stateOf(other), S::Queued);
    EXPECT_TRUE(pages().page(other)->inQueue);
}

} // namespace
