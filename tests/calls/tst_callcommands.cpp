#include "calls/callcontrol.h"

#include "calls/callprocessor.h"
#include "core/transactionlog.h"
#include "paging/tomxpage.h"
#include "tests/calls/callfixture.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

using CallCommands = CallFixture;

TEST_F(CallCommands, SendNowWithNothingQueuedOnlyEmptiesTheProgressPanel)
{
    core.setProgress(QStringLiteral("Message Sent"));

    m_calls->sendNow();

    EXPECT_EQ(core.progress(), QString());
    EXPECT_TRUE(core.transmitLog().isEmpty());
    EXPECT_FALSE(dir.exists(TransactionLog::FileName));
    EXPECT_FALSE(core.serverBusy());
    EXPECT_TRUE(m_modem.commands().isEmpty());
}

TEST_F(CallCommands, TheAutomaticRunHoldsServerBusyWhileItCalls)
{
    queueMessage("5551234", entry("1111111", "One"));
    bool busyDuringCall = false;
    bool menuDuringCall = false;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        busyDuringCall = core.serverBusy();
        menuDuringCall = processor().cancelCallEnabled() && !processor().sendNowEnabled();
    });
    QList<QPair<bool, bool>> menuChanges;
    QObject::connect(&processor(), &CallProcessor::callMenuChanged, [&](bool cancel, bool sendNow) {
        menuChanges.append({cancel, sendNow});
    });

    m_calls->automaticRun();

    EXPECT_TRUE(busyDuringCall);
    EXPECT_TRUE(menuDuringCall);
    EXPECT_FALSE(core.serverBusy());
    ASSERT_FALSE(menuChanges.isEmpty());
    EXPECT_EQ(menuChanges.first(), qMakePair(true, false));
    EXPECT_EQ(menuChanges.last(), qMakePair(false, true));
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"1111111"});
}

TEST_F(CallCommands, CancelWhileDiallingCountsAsAFailedConnectionAndKeepsTheMessages)
{
    queueMessage("5551234", entry("1111111", "One"));
    m_modem.setDialResult("5551234", ScriptedModem::silence());
    m_modem.setOnDial([&](const QByteArray&) { m_calls->cancelCall(); });

    m_calls->sendNow();

    const QStringList window = transmitTexts();
    EXPECT_TRUE(window.contains(QStringLiteral("Error Connecting To Paging Network: 5551234")));
    EXPECT_FALSE(window.contains(QStringLiteral(" Connection Failed")));
    EXPECT_TRUE(m_modem.blocks().isEmpty());
    EXPECT_EQ(sectionKeys("5551234").size(), 6);
    EXPECT_EQ(core.queuedCount(), 1);
    EXPECT_FALSE(engine().PortOpen());
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(CallCommands, CancelDuringAMessageReportsItAndTheRestOfTheCompanyAndRemovesThem)
{
    queueMessage("5550001", entry("1111111", "One", {}, "Ann"));
    queueMessage("5550001", entry("2222222", "Two", {}, "Bert"));
    queueMessage("5550002", entry("3333333", "Three", {}, "Cleo"));
    // The terminal stays silent on the first block; the operator hangs up meanwhile.
    m_modem.queueBlockReplies({ScriptedModem::silence()});
    bool cancelled = false;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (!cancelled) {
            cancelled = true;
            QTimer::singleShot(0, [this] { m_calls->cancelCall(); });
        }
    });

    m_calls->sendNow();

    EXPECT_EQ(prompts.shown(),
              (QStringList{QStringLiteral("error: Error Sending Message To \"Ann\""),
                           QStringLiteral("error: Error Sending Message To \"Bert\"")}));
    EXPECT_EQ(prompts.beeps(), 2);
    EXPECT_TRUE(sectionKeys("5550001").isEmpty());
    // The run goes on with the next company.
    EXPECT_EQ(m_modem.dialled(), (QList<QByteArray>{"5550001", "5550002"}));
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "3333333"}));
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(CallCommands, ProgressGoesToPanelThreeTheWindowAndTheLog)
{
    m_calls->pageProgress("Dialing 5551234");

    EXPECT_EQ(core.progress(), QStringLiteral("Dialing 5551234"));
    ASSERT_EQ(core.transmitLog().size(), 1);
    const QString line = core.transmitLog().first();
    EXPECT_TRUE(line.endsWith(QStringLiteral("  Dialing 5551234"))) << line.toStdString();
    EXPECT_EQ(transmitTexts().first(), QStringLiteral(" Dialing 5551234")) << "no date-time";
    const QList<QByteArray> log = logTexts();
    ASSERT_EQ(log.size(), 1);
    // The log gets the window's line, date-time included, behind its own stamp.
    EXPECT_EQ(log.first(), core.transmitLog().first().toLatin1());
}

TEST_F(CallCommands, CloseWithMessagesQueuedAnsweredYesSendsThemFirst)
{
    queueMessage("5551234", entry("1111111", "One"));
    prompts.expectQuestion(
        QStringLiteral(
            "Message In Queue! Terminating Will Clear Queue\r\nSend Queued Messages Firest?"),
        true);
    int blocksWhenListeningStopped = -1;

    const bool mayClose =
        m_calls->closeQuery([&] { blocksWhenListeningStopped = int(m_modem.blocks().size()); });

    EXPECT_TRUE(mayClose);
    EXPECT_EQ(blocksWhenListeningStopped, 0) << "listening must stop before the queue is sent";
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"1111111"});
    const QStringList window = transmitTexts();
    ASSERT_GE(window.size(), 5);
    EXPECT_EQ(window.mid(window.size() - 5),
              (QStringList{QStringLiteral("Call(s) Compleated"),
                           QStringLiteral("--------------------------"), QString(),
                           QStringLiteral("--------------------------"), QString()}));
    EXPECT_EQ(core.progress(), QString());
}

TEST_F(CallCommands, CloseWithMessagesQueuedAnsweredNoGivesThemUp)
{
    queueMessage("5551234", entry("1111111", "One"));
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), false);
    bool listeningStopped = false;

    EXPECT_TRUE(m_calls->closeQuery([&] { listeningStopped = true; }));

    EXPECT_TRUE(listeningStopped);
    EXPECT_TRUE(m_modem.commands().isEmpty());
    EXPECT_TRUE(core.transmitLog().isEmpty());
}

TEST_F(CallCommands, CloseDuringACallAsksBeforeHangingUp)
{
    bool opened = false;
    processor().onEngine([&](TOMXPage& modem) { opened = modem.OpenPort(); });
    ASSERT_TRUE(opened);
    prompts.expectQuestion(QStringLiteral("Connection Active! Terminate?"), false);
    EXPECT_FALSE(m_calls->closeQuery({}));
    EXPECT_TRUE(engine().PortOpen());

    prompts.expectQuestion(QStringLiteral("Connection Active! Terminate?"), true);
    EXPECT_TRUE(m_calls->closeQuery({}));
    EXPECT_FALSE(engine().PortOpen());
    EXPECT_TRUE(m_modem.waitForHangUp(1));
}

TEST_F(CallCommands, ASecondCloseRequestCanStopTheRunTheFirstLetDeliverTheQueue)
{
    queueMessage("5550001", entry("1111111", "One"));
    queueMessage("5550001", entry("2222222", "Two"));
    queueMessage("5550002", entry("3333333", "Three"));
    int closesDue = 0;
    QObject::connect(m_calls.get(), &CallControl::closeDue, [&] { ++closesDue; });
    QList<bool> mayClose;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        const bool sendFirst = m_modem.blocks().size() == 1;
        prompts.expectQuestion(QStringLiteral("Connection Active! Terminate?"), true);
        prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), sendFirst);
        mayClose.append(m_calls->closeQuery({}));
        EXPECT_EQ(closesDue, 0);
    });

    m_calls->sendNow();

    EXPECT_EQ(mayClose, (QList<bool>{false, false})) << "the queue file must outlive the run";
    EXPECT_EQ(closesDue, 1);
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222"}));
    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5550001"});
    EXPECT_TRUE(m_calls->closeQuery({})) << "the window closes without asking again";
}

TEST_F(CallCommands, NothingQueuedClosesWithoutAQuestion)
{
    bool listeningStopped = false;
    EXPECT_TRUE(m_calls->closeQuery([&] { listeningStopped = true; }));
    EXPECT_FALSE(listeningStopped) << "the window's close stops listening in this case";
    EXPECT_TRUE(prompts.shown().isEmpty());
}

} // namespace
