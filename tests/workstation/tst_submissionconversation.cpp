#include "core/transactionlog.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/workstation/submissionserver.h"
#include "workstation/submissionconversation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

TEST_F(SubmissionServer, WorkedConversationQueuesTheMessageAndLogsIt)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    // Three pages counted whose file was then deleted by hand: the page is counted on top.
    const QueueSubmission earlier{"5550000", {}, {"m", "", "1", "127.0.0.9", "i"}};
    ASSERT_TRUE(core.queue().add({earlier, earlier, earlier}));
    ASSERT_TRUE(QFile::remove(core.queue().path()));
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "HELO 192.168.1.20", "250 " + host());
        EXPECT_REPLY(c, "PAGE (555) 123-4567", "250 OK");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), Accepted);
        EXPECT_REPLY(c, "DONE", recieved(1, 4));
        // No terminator follows any reply, and the server closes after "DONE".
        EXPECT_EQ(c.readUntilClosed().toStdString(), "");
    });

    EXPECT_EQ(queueFile().toStdString(),
              "[5551234567]\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\n"
              "StopBits=0\r\nMSG1=*MSG*Call the front desk*SIG*Reception*PIN*1234567"
              "*USR*127.0.0.1*ID*Pat\r\n");
    const QStringList shown = {QStringLiteral("Message Received From: 127.0.0.1"),
                               QStringLiteral("  Msg. To: Pat"),
                               QStringLiteral("         PIN: 1234567"),
                               QStringLiteral(" Provider: 5551234567"),
                               QStringLiteral("Message: Call the front desk"),
                               QString(42, QLatin1Char('-'))};
    EXPECT_EQ(core.connectionLog(), shown);
    const QList<QByteArray> logLines = dir.read(TransactionLog::FileName).split('\n');
    ASSERT_EQ(logLines.size(), 7) << "six CR LF lines expected";
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(logLines[i].endsWith(" - " + shown[i].toLatin1() + "\r")) << logLines[i].data();
    EXPECT_EQ(core.queuedCount(), 4);
    EXPECT_EQ(core.queuedCount(), 4);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(SubmissionServer, HeloChecksTheStatedAddressAgainstTheLists)
{
    configure([&](TServerConfig& c) { c.IPDeny = "192.168.1.5 10.*"; });
    configure([&](TServerConfig& c) { c.IPAccept = "10.1.1.5"; });
    converse([&](WorkstationClient& c) {
        // No argument, lower case, a short text, an accept-list exception, a line end that
        // keeps the address off a deny entry.
        EXPECT_REPLY(c, "HELO", "250 " + host());
        EXPECT_REPLY(c, "helo 10.0.0.1", Unknown);
        EXPECT_REPLY(c, "HE", Unknown);
        EXPECT_REPLY(c, "HELO 10.1.1.5", "250 " + host());
        EXPECT_REPLY(c, "HELO 192.168.1.5\r\n", "250 " + host());
        EXPECT_REPLY(c, "HELO 10.9.9.9", denied());
        EXPECT_TRUE(c.closedByServer());
    });
}

TEST_F(SubmissionServer, RealAddressRefusedByTheListsIsRefusedWhateverItStates)
{
    configure([&](TServerConfig& c) { c.IPDeny = "127.0.0.1"; });
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "HELO 192.168.1.20", denied());
        EXPECT_TRUE(c.closedByServer());
    });
    // Without any "HELO", "DATA" is refused the same way.
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", denied());
        EXPECT_TRUE(c.closedByServer());
    });
    // An accept entry for the real address makes the exception, as for a stated one.
    configure([&](TServerConfig& c) { c.IPAccept = "127.*"; });
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "HELO 127.0.0.1", "250 " + host());
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), Accepted);
    });
    EXPECT_EQ(core.queuedCount(), 1);
}

TEST_F(SubmissionServer, PageAnswersFromTheAllowListAndTheConversationGoesOn)
{
    core.setAllowList({"555", "777-1234"});
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "PAGE 555", "250 OK");
        EXPECT_REPLY(c, "PAGE 5551234", "250 OK");
        const QByteArray no55 = "551 - (55) Provider Access Number Not Allowed";
        EXPECT_REPLY(c, "PAGE 55", no55);
        // A list line holding a "-" never matches; the argument is echoed as sent.
        const QByteArray noDash = "551 - (777-1234\r\n) Provider Access Number Not Allowed";
        EXPECT_REPLY(c, "PAGE 777-1234\r\n", noDash);
        // A refused "PAGE" does not stop a "DATA".
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), Accepted);
        EXPECT_REPLY(c, "DONE", recieved(1, 4));
    });
    core.setAllowList({});
    converse([&](WorkstationClient& c) {
        const QByteArray no = "551 - (555) Provider Access Number Not Allowed";
        EXPECT_REPLY(c, "PAGE 555", no);
    });
}

TEST_F(SubmissionServer, TwoBlocksForOneNumberTakeMsg1AndMsg2WithTheLatestSettings)
{
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), Accepted);
        EXPECT_REPLY(c, "DATA", Begin);
        const QByteArray second =
            block(linesWith({"MSG: Second", "SIG:", "PW: secret", "LENGTH: 120", "PARITY: 0",
                             "DATA: 3", "STOP: 2"}));
        EXPECT_REPLY(c, second, Accepted);
        EXPECT_REPLY(c, "DONE", recieved(2, 4));
    });
    EXPECT_EQ(queueFile().toStdString(),
              "[5551234567]\r\nPassword=secret\r\nLength=120\r\nParity=0\r\n"
              "DataBits=3\r\nStopBits=2\r\nMSG1=*MSG*Call the front desk*SIG*Reception"
              "*PIN*1234567*USR*127.0.0.1*ID*Pat\r\n"
              "MSG2=*MSG*Second*PIN*1234567*USR*127.0.0.1*ID*Pat\r\n");
    EXPECT_EQ(core.queuedCount(), 2);
}

TEST_F(SubmissionServer, BlockWithoutSignatureLineGivesAnEntryWithoutSigMarker)
{
    QList<QByteArray> lines = workedLines();
    lines.removeAt(1);
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(lines), Accepted);
    });
    EXPECT_TRUE(queueFile().contains(
        "\r\nMSG1=*MSG*Call the front desk*PIN*1234567*USR*127.0.0.1*ID*Pat\r\n"));
}

TEST_F(SubmissionServer, BusyServerAnswers355AndTakesDoneOrTheNextCommand)
{
    core.setServerBusy(true);
    const QByteArray busy = "355 Server Busy, Please Wait";
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", busy);
        EXPECT_REPLY(c, "HELO 10.0.0.1", Unknown);
        EXPECT_REPLY(c, "DATA", busy);
        EXPECT_REPLY(c, "DONE", recieved(0, 4));
        EXPECT_TRUE(c.closedByServer());
    });
    // The run ends during the wait: the block is taken at once.
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", busy);
        onServer([this] { core.setServerBusy(false); });
        EXPECT_EQ(c.read(Begin.size()).toStdString(), Begin.toStdString());
        EXPECT_REPLY(c, block(workedLines()), Accepted);
        EXPECT_REPLY(c, "DONE", recieved(1, 4));
    });
    EXPECT_EQ(core.queuedCount(), 1);
}

TEST_F(SubmissionServer, BusyWaitRunsOutAfter120SecondsWith356)
{
    pacing.setScale(0.01);
    core.setServerBusy(true);
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", "355 Server Busy, Please Wait");
        EXPECT_EQ(c.readUntilClosed().toStdString(), "356 Server To Busy, Please Try Later.");
    });
}

TEST_F(SubmissionServer, IdleClientIsLeftWithoutReplyAndDisconnected)
{
    pacing.setScale(0.01);
    converse([&](WorkstationClient& c) { EXPECT_EQ(c.readUntilClosed().toStdString(), ""); });
    // The same after "354": the block never comes.
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_EQ(c.readUntilClosed().toStdString(), "");
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

TEST_F(SubmissionServer, ClientThatDisconnectsEndsItsConversationWithNothingQueued)
{
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        c.abort();
    });
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "HELO 127.0.0.1", "250 " + host());
        c.close();
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(SubmissionServer, AccessNumberOfTheBlockMustBeAllowedAndDiallable)
{
    core.setAllowList({"555", ""}); // the blank line allows every number
    const auto refusal = [](const QByteArray& number) {
        return "551 - (" + number + ") Provider Access Number Not Allowed";
    };
    converse([&](WorkstationClient& c) {
        for (const QByteArray& number :
             {QByteArray("555;ATH0"), QByteArray("ATDT5551234"), QByteArray(""),
              QByteArray("555 1234+"), QByteArray("5551234\x1b")}) {
            EXPECT_REPLY(c, "DATA", Begin);
            EXPECT_REPLY(c, block(linesWith({"AN: " + number})), refusal(number));
        }
        // Dialling characters are fine once the list allows the number.
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"AN: 9,(555) 123-4567#"})), Accepted);
        EXPECT_REPLY(c, "DONE", recieved(1, 4));
    });
    EXPECT_TRUE(queueFile().startsWith("[9,(555) 123-4567#]\r\n"));

    core.setAllowList({"555"});
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"AN: 6665551234"})), refusal("6665551234"));
    });
    EXPECT_FALSE(queueFile().contains("666"));
}

TEST_F(SubmissionServer, BadLineSettingsMarkersAndPinsAreRejectedBeforeAnythingIsWritten)
{
    struct Case
    {
        QList<QByteArray> overrides;
        QByteArray reason;
    };
    const Case cases[] = {
        {{"PARITY: 7"}, "Invalid Parity"},
        {{"PARITY: x"}, "Invalid Parity"},
        {{"DATA: 4"}, "Invalid Data Bits"},
        {{"STOP: "}, "Invalid Stop Bits"},
        {{"LENGTH: 0"}, "Invalid Length"},
        {{"LENGTH: eighty"}, "Invalid Length"},
        {{"MSG: hi*PIN*999"}, "Field Holds A Queue Marker"},
        {{"ID: Pat*USR*10.0.0.1"}, "Field Holds A Queue Marker"},
        {{"PIN: 123\x1b"}, "Invalid PIN"},
        {{"MSG: " + QByteArray(1100, 'x')}, "Message Too Long"},
    };
    converse([&](WorkstationClient& c) {
        for (const Case& k : cases) {
            const QByteArray expected = "554 Message Rejected: " + k.reason;
            EXPECT_REPLY(c, "DATA", Begin);
            EXPECT_REPLY(c, block(linesWith(k.overrides)), expected);
        }
        EXPECT_REPLY(c, "DONE", recieved(0, 4));
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(u'\n').toStdString();
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(SubmissionServer, FullSectionIsRefusedWithQueueFull)
{
    QByteArray file = "[5551234567]\r\nLength=80\r\n";
    for (int n = 1; n <= 9999; ++n)
        file += "MSG" + QByteArray::number(n) + "=*MSG*m*PIN*1*USR*10.0.0.1*ID*x\r\n";
    dir.write(MessageQueueFile::FileName, file);
    converse([&](WorkstationClient& c) {
        const QByteArray full = "554 Message Rejected: Queue Full";
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), full);
        // Another company still gets its message queued.
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"AN: 5550000"})), Accepted);
    });
    // A queue this long takes pages through its journal: Message.Dat has them once synced.
    core.queue().sync();
    const QByteArray after = queueFile();
    EXPECT_TRUE(after.startsWith(file));
    EXPECT_FALSE(after.contains("MSG10000"));
    EXPECT_TRUE(after.contains("[5550000]\r\n"));
}

TEST_F(SubmissionServer, TwoClientsAtOnceTheNewerIsServedInsideTheOlder)
{
    runWhilePumping([&] {
        WorkstationClient older;
        WorkstationClient newer;
        ASSERT_TRUE(older.connectTo(m_port));
        EXPECT_REPLY(older, "HELO 127.0.0.1", "250 " + host());
        ASSERT_TRUE(newer.connectTo(m_port));
        EXPECT_REPLY(newer, "HELO 127.0.0.1", "250 " + host());
        // The older client's command waits until the newer conversation has ended.
        EXPECT_TRUE(older.send("DATA"));
        EXPECT_REPLY(newer, "DATA", Begin);
        EXPECT_REPLY(newer, block(linesWith({"AN: 5551111"})), Accepted);
        EXPECT_REPLY(newer, "DONE", recieved(1, 4));
        EXPECT_EQ(older.read(Begin.size()).toStdString(), Begin.toStdString());
        EXPECT_REPLY(older, block(linesWith({"AN: 5552222"})), Accepted);
        EXPECT_REPLY(older, "DONE", recieved(1, 4));
    });
    const QByteArray file = queueFile();
    EXPECT_LT(file.indexOf("[5551111]"), file.indexOf("[5552222]"));
    EXPECT_GE(file.indexOf("[5551111]"), 0);
    EXPECT_EQ(core.queuedCount(), 2);
}

TEST_F(SubmissionServer, CommandWaitingOutANestedConversationIsServedWithAFullIdleLimitAfter)
{
    // The older conversation's counter runs out while a newer conversation is served inside
    // its wait. Its command, sent meanwhile, is served afterwards, and the wait that follows
    // counts the whole idle limit again instead of ending at once.
    pacing.setScale(0.01);
    runWhilePumping([&] {
        WorkstationClient older;
        WorkstationClient newer;
        ASSERT_TRUE(older.connectTo(m_port));
        EXPECT_REPLY(older, "HELO 127.0.0.1", "250 " + host());
        // The older wait ticks at the short scale; everything started from here on counts in
        // real seconds.
        std::atomic<bool> slowed = false;
        onServer([&] {
            pacing.setScale(1.0);
            slowed = true;
        });
        while (!slowed)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(newer.connectTo(m_port));
        EXPECT_REPLY(newer, "HELO 127.0.0.1", "250 " + host());
        EXPECT_TRUE(older.send("HELO 127.0.0.1"));
        // Well past the older conversation's 0.6-second limit.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_REPLY(newer, "DONE", recieved(0, 4));
        EXPECT_EQ(older.read(4 + host().size()).toStdString(), ("250 " + host()).toStdString());
        EXPECT_REPLY(older, "PAGE 555", "250 OK");
        EXPECT_REPLY(older, "DONE", recieved(0, 4));
    });
}

TEST_F(SubmissionServer, NestingIsBoundedAndNewConnectionsWaitInTheBacklog)
{
    listener.limits().setMaxNesting(2);
    runWhilePumping([&] {
        WorkstationClient first;
        WorkstationClient second;
        WorkstationClient third;
        ASSERT_TRUE(first.connectTo(m_port));
        EXPECT_REPLY(first, "HELO 127.0.0.1", "250 " + host());
        ASSERT_TRUE(second.connectTo(m_port));
        EXPECT_REPLY(second, "HELO 127.0.0.1", "250 " + host());
        // The third is not accepted while two conversations run: if it were, it would be
        // served inside the second, which could not answer "DONE" before the third ended.
        ASSERT_TRUE(third.connectTo(m_port));
        EXPECT_TRUE(third.send("HELO 127.0.0.1"));
        EXPECT_REPLY(second, "DONE", recieved(0, 4));
        EXPECT_EQ(third.read(4 + host().size()).toStdString(), ("250 " + host()).toStdString());
        EXPECT_REPLY(third, "DONE", recieved(0, 4));
        EXPECT_REPLY(first, "DONE", recieved(0, 4));
    });
    EXPECT_FALSE(listener.Sock1().AcceptPaused());
}

TEST_F(SubmissionServer, OversizedCommandOrBlockIsRejectedAndDisconnected)
{
    const QByteArray tooLarge = "554 Message Rejected: Too Large";
    // The oversized text arrives while a newer conversation runs, so it is all buffered by the
    // time the older conversation reads again.
    const auto sendWhileNested = [&](WorkstationClient& older, const QByteArray& text) {
        WorkstationClient newer;
        ASSERT_TRUE(newer.connectTo(m_port));
        EXPECT_REPLY(newer, "HELO 127.0.0.1", "250 " + host());
        EXPECT_TRUE(older.send(text));
        for (int i = 0; i < 4; ++i)
            EXPECT_REPLY(newer, "PAGE 555", "250 OK");
        EXPECT_REPLY(newer, "DONE", recieved(0, 4));
    };
    runWhilePumping([&] {
        WorkstationClient client;
        ASSERT_TRUE(client.connectTo(m_port));
        EXPECT_REPLY(client, "HELO 127.0.0.1", "250 " + host());
        sendWhileNested(client, "HELO " + QByteArray(70000, '1'));
        EXPECT_EQ(client.readUntilClosed().toStdString(), tooLarge.toStdString());
    });
    runWhilePumping([&] {
        WorkstationClient client;
        ASSERT_TRUE(client.connectTo(m_port));
        EXPECT_REPLY(client, "DATA", Begin);
        QList<QByteArray> lines = workedLines();
        lines.append("XX: " + QByteArray(60000, 'y'));
        sendWhileNested(client, block(lines));
        EXPECT_EQ(client.readUntilClosed().toStdString(), tooLarge.toStdString());
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

TEST_F(SubmissionServer, UnwritableQueueIsRefusedWithAReplyAndTheConversationGoesOn)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    // A folder in the queue file's place makes every write fail.
    ASSERT_TRUE(QDir(dir.path()).mkdir(MessageQueueFile::FileName));
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), "554 Message Rejected: Queue Unavailable");
        EXPECT_REPLY(c, "DONE", recieved(0, 4));
    });
    EXPECT_EQ(core.queuedCount(), 0);
    ASSERT_EQ(core.connectionLog().size(), 1);
    EXPECT_TRUE(core.connectionLog().first().startsWith(
        QStringLiteral("Message Not Queued From: 127.0.0.1 (Unable to write to ")))
        << core.connectionLog().first().toStdString();
    EXPECT_TRUE(dir.read(TransactionLog::FileName).contains("Message Not Queued From: "));
    EXPECT_TRUE(prompts.shown().isEmpty()) << "nobody must wait on a box for this";
}

// With Log.Dat unwritable every page is still answered once and queued once; the operator gets
// one box (not one per page, and nothing waits on it) and one line in the Connection Log, and
// hears again only after closing that box.
TEST_F(SubmissionServer, UnwritableTransactionLogNeitherLosesNorRepeatsPagesNorStopsTheServer)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    ASSERT_TRUE(QDir(dir.path()).mkdir(TransactionLog::FileName));
    constexpr int Pages = 100;
    for (int i = 0; i < Pages; ++i) {
        converse([&](WorkstationClient& c) {
            EXPECT_REPLY(c, "DATA", Begin);
            EXPECT_REPLY(c, block(linesWith({"MSG: page " + QByteArray::number(i)})), Accepted);
            EXPECT_REPLY(c, "DONE", recieved(1, 4));
        });
        if (i == Pages / 2) {
            EXPECT_EQ(prompts.openNotices(), 1);
            prompts.dismissNotices();
        }
    }
    EXPECT_EQ(core.queuedCount(), Pages);
    const QByteArray queue = queueFile();
    for (int i = 0; i < Pages; ++i) {
        const QByteArray entry = "=*MSG*page " + QByteArray::number(i) + "*SIG*";
        EXPECT_EQ(queue.count(entry), 1) << "page " << i;
    }
    EXPECT_EQ(prompts.shown().size(), 2) << "one box, and one more after it was closed";
    const qsizetype reports =
        core.connectionLog().filter(QStringLiteral("Transaction Log Not Written")).size();
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(core.connectionLog().size(), Pages * 6 + reports);
    // The box stays open for the operator and the server serves on.
    converse([&](WorkstationClient& c) { EXPECT_REPLY(c, "DONE", recieved(0, 4)); });
}
