#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "directories/sharedpaths.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppserver.h"
#include "tests/runtime/runningserver.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/smallfilesystem.h"
#include "tests/support/workstationclient.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QByteArray Accepted = "250 Message Accepted For Processing";

// What reaches the boundary: a run, a tick or a conversation that an exception leaves, and an
// operator command that fails. The server says so, logs it, and goes on.
class Boundary : public RunningServerTest
{
protected:
    qint32 queuedInFile() const { return MessageQueueFile(core.queue().path()).countMessages(); }
    QStringList failures() const
    {
        return core.connectionLog().filter(QStringLiteral(" Failed: "));
    }
};

// The data folder on a file system that fills up while the terminal holds the first of two
// pages: the run cannot take the page it delivered off the queue.
class FullDisk : public Boundary
{
protected:
    void SetUp() override
    {
        Boundary::SetUp();
        queueMessage("1111111");
        queueMessage("2222222");
        modem.queueBlockReplies({ScriptedModem::silence()});
        modem.setOnBlock([this](const ScriptedModem::Block&) {
            if (modem.blocks().size() != 1)
                return;
            disk.fill();
            modem.sendRaw(ScriptedModem::ack());
        });
    }
    QString unableToWrite() const
    {
        return QStringLiteral("Unable to write to ") + core.queue().path();
    }

    SmallFileSystem disk{512 * 1024, dir.path()};
};

TEST_F(FullDisk, TheCheckEndsTheServerGoesOnAndTheNextCheckDeliversWhatIsLeft)
{
    QList<QPair<bool, bool>> menu;
    QObject::connect(&runtime, &ServerRuntime::callMenuChanged, [&](bool cancel, bool sendNow) {
        menu.append({cancel, sendNow});
    });

    minuteTick();

    ASSERT_EQ(modem.blocks().size(), 1) << "the run went on after its queue failed";
    EXPECT_FALSE(runtime.calls().engine().PortOpen()) << "the line was left held";
    EXPECT_FALSE(runtime.calls().processor().running());
    EXPECT_FALSE(core.serverBusy());
    ASSERT_FALSE(menu.isEmpty());
    EXPECT_EQ(menu.last(), qMakePair(false, true));
    EXPECT_EQ(failures(), QStringList{QStringLiteral("Queue Check Failed: ") + unableToWrite()});
    EXPECT_TRUE(prompts.shown().contains(QStringLiteral("notice: ") + unableToWrite()));
    EXPECT_EQ(prompts.openNotices(), 1) << "the failure must not hold up the server with a box";
    EXPECT_EQ(queuedInFile(), 2) << "the queue lost a page";

    // Still serving: while the disk is full a page is refused, then taken once there is room.
    const QByteArray refused = submit("3333333", "full").value(3);
    EXPECT_TRUE(refused.startsWith("554 Message Rejected: Queue Unavail")) << refused.data();
    disk.makeRoom();
    EXPECT_EQ(submit("3333333", "room again").value(3), Accepted);

    core.setNextCheck(1);
    minuteTick();

    // The page the terminal took before the failure was still queued: it goes out again.
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "1111111", "2222222", "3333333"}));
    EXPECT_EQ(queuedInFile(), 0);
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_EQ(failures().size(), 1);
}

// A disk that stays full fails every check: each failure is logged, but one box is up at a time.
TEST_F(FullDisk, WhileItsBoxIsOpenARepeatedFailureIsOnlyLogged)
{
    minuteTick();
    ASSERT_EQ(prompts.openNotices(), 1);
    core.setNextCheck(1);
    minuteTick();
    EXPECT_EQ(failures().size(), 2);
    EXPECT_EQ(prompts.openNotices(), 1);
    EXPECT_EQ(prompts.shown().filter(QStringLiteral("notice: ")).size(), 1);

    prompts.dismissNotices();
    core.setNextCheck(1);
    minuteTick();
    EXPECT_EQ(failures().size(), 3);
    EXPECT_EQ(prompts.openNotices(), 1) << "after the box was closed the next failure is shown";
    EXPECT_EQ(queuedInFile(), 2);
}

// Send Now is the operator's: the failure comes in the standard error box.
TEST_F(FullDisk, SendNowEndsWithTheStandardErrorBox)
{
    runtime.sendNow();

    EXPECT_EQ(modem.blocks().size(), 1);
    EXPECT_EQ(failures(), QStringList{QStringLiteral("Send Now Failed: ") + unableToWrite()});
    EXPECT_TRUE(prompts.shown().contains(QStringLiteral("standard error: ") + unableToWrite()));
    EXPECT_EQ(prompts.openNotices(), 0);
    EXPECT_FALSE(runtime.calls().processor().running());
    EXPECT_EQ(core.progress(), QString());
    EXPECT_EQ(queuedInFile(), 2);
}

// The close was to send the queue first, and the run failed: the server stays, and so does the
// queue the operator wanted sent.
TEST_F(FullDisk, ACloseWhoseRunFailsDoesNotCloseAndKeepsTheQueue)
{
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), true);

    EXPECT_FALSE(requestClose());

    EXPECT_FALSE(closed);
    EXPECT_EQ(failures(), QStringList{QStringLiteral("Shut Down Failed: ") + unableToWrite()});
    EXPECT_TRUE(prompts.shown().contains(QStringLiteral("standard error: ") + unableToWrite()));
    EXPECT_EQ(queuedInFile(), 2);
    EXPECT_TRUE(prompts.scriptDone());
}

// A fault that leaves a workstation's conversation (here, a line of the Connection Log that
// cannot be shown) ends that conversation only: its connection is closed without "250", the
// page it wrote stays queued, and the next workstation is served.
TEST_F(Boundary, AConversationThatFailsEndsAloneAndItsPageStaysQueued)
{
    QObject::connect(&core, &ServerState::connectionLogAdded, [](const QString& line) {
        if (line == QStringLiteral("Message: boom"))
            throw std::runtime_error("the log window is gone");
    });

    QByteArray reply = "none";
    bool closedByServer = false;
    runWhilePumping([&] {
        WorkstationClient client;
        ASSERT_TRUE(client.connectTo(port));
        client.exchange("HELO 127.0.0.1", "250 " + TSock::LocalAddress());
        client.exchange("DATA", "354 Begin Sending Message");
        reply = client.exchange(block("1111111", "boom"), Accepted);
        closedByServer = client.closedByServer();
    });
    EXPECT_EQ(reply, QByteArray());
    EXPECT_TRUE(closedByServer) << "the failed conversation's connection was left open";
    EXPECT_EQ(failures(), QStringList{QStringLiteral("Connection Failed: the log window is gone")});
    EXPECT_EQ(prompts.openNotices(), 1);
    EXPECT_EQ(submit("2222222", "next").value(3), Accepted);

    minuteTick();
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}));
    EXPECT_EQ(queuedInFile(), 0);
}

// An operator command that fails says so in the standard error box and changes nothing else.
TEST_F(Boundary, AQueueThatCannotBeClearedIsReportedAndKept)
{
    // Two pages counted whose file was then deleted by hand, and a non-empty folder in the
    // file's place, which cannot be deleted as a file.
    queueMessage("1111111");
    queueMessage("2222222");
    ASSERT_TRUE(QFile::remove(core.queue().path()));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Message.Dat/inside")));
    ASSERT_EQ(core.queuedCount(), 2);
    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);

    runtime.clearQueue();

    const QString message = QStringLiteral("Unable to delete ") + core.queue().path();
    EXPECT_EQ(failures(), QStringList{QStringLiteral("Clear Msg. Queue Failed: ") + message});
    EXPECT_EQ(prompts.shown().last(), QStringLiteral("standard error: ") + message);
    EXPECT_EQ(core.queuedCount(), 2);
    EXPECT_TRUE(prompts.scriptDone());
}

// The same for a paging client's session: a fault in its SEND ends that session alone, without
// a reply; the pages it queued stay queued, and the next client is served.
class SnppBoundary : public Boundary
{
protected:
    void SetUp() override
    {
        Boundary::SetUp();
        dir.write(SharedPaths::ProviderFileName,
                  "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                  "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        SnppTiming timing;
        timing.busyPollMs = 20;
        gateway().setTiming(timing);
        ASSERT_FALSE(gateway().listen(0));
        QObject::connect(&core, &ServerState::connectionLogAdded, [](const QString& line) {
            if (line == QStringLiteral("Message: boom"))
                throw std::runtime_error("the log window is gone");
        });
    }

    SnppServer& gateway() { return runtime.snpp().gateway().server(); }

    // One client's transaction for `pin` at Metro Paging: the replies it got, then what came
    // until the server closed ("left open" when it did not); a SEND that was answered is
    // followed by QUIT.
    QList<QByteArray> send(const QByteArray& pin, const QByteArray& message)
    {
        QList<QByteArray> replies;
        runWhilePumping([&] {
            SnppClient client(gateway().port());
            replies.append(client.line());
            replies.append(client.command("PAGE " + pin + "@Metro Paging"));
            replies.append(client.command("MESS " + message));
            replies.append(client.command("SEND"));
            if (!replies.last().isEmpty())
                client.send("QUIT\r\n");
            bool closed = false;
            replies.append(client.rest(&closed));
            if (!closed)
                replies.append("left open");
        });
        return replies;
    }

    // The failed transaction's client got no reply to SEND; the next client is served, and the
    // next check delivers both.
    void expectFailedThenServed(const QList<QByteArray>& failed)
    {
        const QByteArray greeting = SnppProtocol::greeting().trimmed();
        EXPECT_EQ(failed,
                  (QList<QByteArray>{greeting, "250 Pager ID Accepted", "250 Message OK", {}, {}}));
        EXPECT_EQ(failures(),
                  QStringList{QStringLiteral("SNPP Connection Failed: the log window is gone")});
        EXPECT_EQ(prompts.openNotices(), 1);
        EXPECT_EQ(
            send("2222222", "next"),
            (QList<QByteArray>{greeting, "250 Pager ID Accepted", "250 Message OK",
                               "250 Message Sent Successfully (Ids 2)", "221 OK, Goodbye\r\n"}));

        minuteTick();
        EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}));
        EXPECT_EQ(queuedInFile(), 0);
    }
};

TEST_F(SnppBoundary, ASendThatFailsEndsItsSessionAlone)
{
    expectFailedThenServed(send("1111111", "boom"));
}

// A SEND is taken while a run delivers the queue; a fault in it then ends the session just the
// same, and the others are served.
TEST_F(SnppBoundary, ASendThatFailsWhileTheRunCallsEndsItsSessionAlone)
{
    core.setServerBusy(true);
    const QList<QByteArray> failed = send("1111111", "boom");
    core.setServerBusy(false);
    expectFailedThenServed(failed);
}

} // namespace
