#include "calls/callprocessor.h"

#include "calls/errornotice.h"
#include "core/transactionlog.h"
#include "foundation/errors.h"
#include "foundation/tinifile.h"
#include "intake/queuecommands.h"
#include "net/hostaddresses.h"
#include "paging/tomxpage.h"
#include "queue/messagequeuefile.h"
#include "tests/calls/callfixture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>

namespace {

using RunGuards = CallFixture;

TEST_F(RunGuards, DoesNothingButClearServerBusyWithoutQueueFileOrMessagesOrWithTheLineInUse)
{
    core.setServerBusy(true);
    // Counted, but the file was deleted by hand.
    queueMessage("5551234", entry("1111111", "One"));
    ASSERT_TRUE(QFile::remove(core.queue().path()));
    ASSERT_EQ(core.queuedCount(), 1);
    processor().ProcessCalls();
    EXPECT_FALSE(core.serverBusy());

    // Nothing counted and no message in the file: a key emptied by hand holds none.
    dir.write(MessageQueueFile::FileName, "[5551234]\r\nLength=80\r\nMSG1=\r\n");
    core.queue().recount();
    ASSERT_EQ(core.queuedCount(), 0);
    core.setServerBusy(true);
    processor().ProcessCalls();
    EXPECT_FALSE(core.serverBusy());
    EXPECT_EQ(sectionKeys("5551234").size(), 2);

    queueMessage("5551234", entry("1111111", "One"));
    bool opened = false;
    processor().onEngine([&](TOMXPage& modem) { opened = modem.OpenPort(); });
    ASSERT_TRUE(opened);
    core.setServerBusy(true);
    processor().ProcessCalls();
    EXPECT_FALSE(core.serverBusy());
    processor().onEngine([](TOMXPage& modem) { modem.ClosePort(); });

    EXPECT_TRUE(core.transmitLog().isEmpty());
    EXPECT_TRUE(logTexts().isEmpty());
    EXPECT_TRUE(m_modem.dialled().isEmpty());
    EXPECT_EQ(sectionKeys("5551234").size(), 6);
}

TEST_F(RunGuards, AQueueWithoutSectionsGivesTheNoMessagesLinesAndTheEndLines)
{
    // Counted, then emptied by hand.
    queueMessage("5551234", entry("1111111", "One"));
    dir.write(MessageQueueFile::FileName, "\r\n");
    ASSERT_EQ(core.queuedCount(), 1);

    processor().ProcessCalls();

    EXPECT_EQ(
        transmitTexts(),
        (QStringList{QStringLiteral("Call Processing Started"), QStringLiteral("No Messages Read!"),
                     QStringLiteral("Call(s) Compleated"),
                     QStringLiteral("--------------------------"), QString()}));
    const QList<QByteArray> log = logTexts();
    ASSERT_EQ(log.size(), 4);
    EXPECT_EQ(log[1], "No Messages Read");
    EXPECT_TRUE(m_modem.dialled().isEmpty());
}

TEST_F(RunGuards, ClearsALogWindowOfMoreThan500LinesBeforeItStarts)
{
    for (int i = 0; i < 501; ++i)
        core.addConnectionLog(QStringLiteral("old"));
    for (int i = 0; i < 500; ++i)
        core.addTransmitLog(QStringLiteral("old"));
    queueMessage("5551234", entry("1111111", "One"));

    processor().ProcessCalls();

    EXPECT_TRUE(core.connectionLog().isEmpty());
    // 500 lines are not more than 500: the run's lines follow them.
    EXPECT_EQ(core.transmitLog().first(), QStringLiteral("old"));
    EXPECT_GT(core.transmitLog().size(), 500);
}

TEST_F(RunGuards, AMessageQueuedForTheCompanyDuringItsCallWaitsForTheNextRun)
{
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    bool queuedMeanwhile = false;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (!queuedMeanwhile) {
            queuedMeanwhile = true;
            queueMessage("5551234", entry("3333333", "Three, late"));
        }
    });

    m_calls->sendNow();

    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222"}));
    // The late message may take a key that the run has freed already; it stays all the same.
    const QList<QByteArray> keys = sectionKeys("5551234");
    ASSERT_EQ(keys.size(), 6);
    EXPECT_TRUE(TIniFile(core.queue().path())
                    .ReadText("5551234", keys.last(), {})
                    .contains("*PIN*3333333*"));
    EXPECT_EQ(core.queuedCount(), 1);

    m_calls->sendNow();

    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222", "3333333"}));
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(RunGuards, ARunStartedFromInsideARunningOneIsRefused)
{
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    bool busyAfterNestedRun = false;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        m_calls->sendNow();
        busyAfterNestedRun = core.serverBusy();
    });

    m_calls->automaticRun();

    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222"}));
    EXPECT_EQ(m_modem.dialled().size(), 1);
    EXPECT_EQ(transmitTexts().count(QStringLiteral("Call Processing Started")), 1);
    EXPECT_TRUE(busyAfterNestedRun) << "a refused run must not lower the running run's guard";
    EXPECT_FALSE(core.serverBusy());
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(RunGuards, NoPortOrSpeedSelectedKeepsTheMessagesWithTheConnectionFailureLines)
{
    queueMessage("5551234", entry("1111111", "One"));
    configure([&](TServerConfig& c) { c.ComPort = -1; });

    processor().ProcessCalls();

    EXPECT_TRUE(
        transmitTexts().contains(QStringLiteral("Error Connecting To Paging Network: 5551234")));
    EXPECT_TRUE(m_modem.commands().isEmpty());
    EXPECT_EQ(sectionKeys("5551234").size(), 6);
    EXPECT_EQ(core.queuedCount(), 1);

    configure([&](TServerConfig& c) { c.ComPort = 0; });
    configure([&](TServerConfig& c) { c.ComPortSpeed = -1; });
    processor().ProcessCalls();

    EXPECT_EQ(transmitTexts().count(QStringLiteral("Error Connecting To Paging Network: 5551234")),
              2);
    EXPECT_TRUE(m_modem.commands().isEmpty());
    EXPECT_EQ(sectionKeys("5551234").size(), 6);
}

TEST_F(RunGuards, ASectionWithUnreadableLineSettingsIsSkippedAndTheNextOneCalled)
{
    queueMessage("5550001", entry("1111111", "One"));
    queueMessage("5550002", entry("2222222", "Two"));
    queueMessage("5550003", entry("3333333", "Three"));
    TIniFile queue(core.queue().path());
    queue.WriteText("5550001", "Length", "eighty"); // edited by hand
    queue.WriteNumber("5550002", "Parity", 7);      // no such parity

    EXPECT_NO_THROW(processor().ProcessCalls());

    const QStringList window = transmitTexts();
    EXPECT_TRUE(window.contains(QStringLiteral("Error Connecting To Paging Network: 5550001")));
    EXPECT_TRUE(window.contains(QStringLiteral("Error Connecting To Paging Network: 5550002")));
    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5550003"});
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"3333333"});
    EXPECT_EQ(sectionKeys("5550001").size(), 6);
    EXPECT_EQ(sectionKeys("5550002").size(), 6);
    EXPECT_TRUE(sectionKeys("5550003").isEmpty());
    EXPECT_EQ(core.queuedCount(), 2);
}

TEST_F(RunGuards, AnEmptyMessageFailsWithoutCostingTheCompanysOtherMessagesTheirCall)
{
    NoticeListener workstation;
    allowNoticesToThisHost();
    configure([&](TServerConfig& c) { c.Port = workstation.port(); });
    queueMessage("5551234", entry("1111111", ""));
    queueMessage("5551234", entry("2222222", "Two"));

    processor().ProcessCalls();

    EXPECT_TRUE(transmitTexts().contains(
        QStringLiteral("Error Sending Messages To: 1111111 From 127.0.0.1 (No Message To Send!)")));
    EXPECT_EQ(workstation.received(),
              "*ER*Error Sending Message To: 1111111 (No Message To Send!)\r\n");
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"2222222"});
    EXPECT_EQ(m_modem.dialled().size(), 1);
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(u'|').toStdString();
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
}

TEST_F(RunGuards, AMessageWithoutPinFailsAloneAndLaterCompaniesAreStillCalled)
{
    // Written straight into the queue: the protocol refuses such a block today, an older queue
    // or another writer may not have.
    queueMessage("5550001", entry("", "Nobody"));
    queueMessage("5550002", entry("2222222", "Two"));

    processor().ProcessCalls();

    EXPECT_TRUE(transmitTexts().contains(
        QStringLiteral("Error Sending Messages To:  From 127.0.0.1 (No Pin Number!)")));
    EXPECT_EQ(m_modem.dialled(), (QList<QByteArray>{"5550001", "5550002"}));
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"2222222"});
    EXPECT_FALSE(
        transmitTexts().contains(QStringLiteral("Error Connecting To Paging Network: 5550002")));
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST(ErrorNoticeTarget, NoNoticeGoesToThisHostOrToASenderThatIsNoAddress)
{
    const auto reason = [](const QByteArray& host) {
        return ErrorNotice::skipReason(host).value_or("sent").toStdString();
    };
    EXPECT_EQ(reason(""), "No Sender Address");
    for (const char* bad :
         {"host", "1.2.3", "1.2.3.4.5", "256.1.1.1", " 1.2.3.4", "1.2.3.4\r", "1..2.3", "-1.2.3.4"})
        EXPECT_EQ(reason(bad), "Invalid Sender Address") << bad;
    // The test message's sender, and the address a connect takes as this host.
    EXPECT_EQ(reason("0.0.0.0"), "Unspecified Address");
    EXPECT_EQ(reason("0.0.0.127"), "Unspecified Address");
    EXPECT_EQ(reason("127.0.0.1"), "Loopback Address");
    EXPECT_EQ(reason("127.10.20.30"), "Loopback Address");
    for (const quint32 own : HostAddresses::own()) {
        if (HostAddresses::isLoopback(own))
            continue;
        const QByteArray dotted =
            QByteArray::number(own >> 24) + '.' + QByteArray::number((own >> 16) & 255) + '.' +
            QByteArray::number((own >> 8) & 255) + '.' + QByteArray::number(own & 255);
        EXPECT_EQ(reason(dotted), "Address Of This Server") << dotted.toStdString();
    }
    // A documentation address: some other workstation.
    EXPECT_EQ(reason("192.0.2.10"), "sent");
}

TEST_F(RunGuards, AFailureThatEndsTheRunStillHangsUpAndRunsTheClosingSteps)
{
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    // Once the first block is out, the next progress report fails inside the engine with an
    // error nothing in the run handles.
    // Set on this thread, read on the line's.
    std::atomic<bool> failing{false};
    m_modem.setOnBlock([&](const ScriptedModem::Block&) { failing = true; });
    engine().setOnPageProgress([&](const QByteArray& text) {
        if (failing)
            throw EZelkorError("Injected failure after: " + text);
    });

    EXPECT_THROW(processor().ProcessCalls(), EZelkorError);

    EXPECT_FALSE(engine().PortOpen()) << "the line is still held";
    EXPECT_TRUE(m_modem.waitForHangUp(1));
    EXPECT_FALSE(processor().running());
    EXPECT_FALSE(processor().cancelCallEnabled());
    EXPECT_TRUE(processor().sendNowEnabled());
    EXPECT_FALSE(core.serverBusy());
    const QStringList window = transmitTexts();
    ASSERT_GE(window.size(), 3);
    EXPECT_EQ(window[window.size() - 3], QStringLiteral("Call(s) Compleated"));
    EXPECT_EQ(window.last(), QString());
    EXPECT_TRUE(sectionKeys("5551234").contains("MSG2")) << "the unfinished section stays queued";

    // The next run goes on where this one stopped.
    failing = false;
    m_modem.setOnBlock({});
    processor().ProcessCalls();
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
    EXPECT_EQ(deliveredPins().last(), "2222222");
}

// The log is a record, not part of delivery: with Log.Dat unwritable every page still goes out
// once and leaves the queue, and the operator is told once without the run waiting.
TEST_F(RunGuards, AnUnwritableTransactionLogNeitherFailsNorRepeatsAPage)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    ASSERT_TRUE(QDir(dir.path()).mkdir(TransactionLog::FileName));
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));

    processor().ProcessCalls();

    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222"}));
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
    EXPECT_EQ(prompts.openNotices(), 1);
    prompts.dismissNotices();
}

TEST_F(RunGuards, AQueueClearedByTheOperatorDuringACallLeavesNothingBehind)
{
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    queueMessage("5550002", entry("3333333", "Three"));
    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    bool cleared = false;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (!cleared) {
            cleared = true;
            QueueCommands(core, prompts).clearMessageQueue();
        }
    });

    EXPECT_NO_THROW(processor().ProcessCalls());

    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(RunGuards, AMessageQueuedAfterTheOperatorClearedTheQueueDuringACallIsKept)
{
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    bool cleared = false;
    // While the first message is being paged: the operator clears the queue, and the new queue
    // file gives a late message the key of the message on the line.
    QObject::connect(&core, &ServerState::progressChanged, [&](const QString& text) {
        if (!cleared && text == QStringLiteral("Sending Message To 1111111")) {
            cleared = true;
            QueueCommands(core, prompts).clearMessageQueue();
            queueMessage("5551234", entry("3333333", "Late"));
        }
    });

    processor().ProcessCalls();
    ASSERT_TRUE(cleared);

    const QList<QByteArray> keys = sectionKeys("5551234");
    ASSERT_TRUE(keys.contains("MSG1")) << keys.join(',').constData();
    EXPECT_TRUE(
        TIniFile(core.queue().path()).ReadText("5551234", "MSG1", {}).contains("*PIN*3333333*"));
    EXPECT_EQ(core.queuedCount(), 1);

    processor().ProcessCalls();

    EXPECT_EQ(deliveredPins().count("3333333"), 1);
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST(SectionStore, DeleteKeyRemovesOneEntryAndLeavesEverythingElse)
{
    TempDataDir dir;
    TIniFile ini(dir.file(MessageQueueFile::FileName));
    ini.WriteText("A", "MSG1", "one");
    ini.WriteText("A", "MSG2", "two");
    ini.WriteText("B", "MSG1", "other");

    ini.DeleteKey("a", "msg1");
    ini.DeleteKey("A", "MSG9"); // no such key
    ini.DeleteKey("Z", "MSG1"); // no such section

    EXPECT_EQ(dir.read(MessageQueueFile::FileName), "[A]\r\nMSG2=two\r\n[B]\r\nMSG1=other\r\n");
}

} // namespace
