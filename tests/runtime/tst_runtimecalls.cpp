#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/messagequeuefile.h"
#include "tests/runtime/runningserver.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"

#include <QTimer>

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include <gtest/gtest.h>

namespace {

// Workstations' pages, the countdown's check and the calls, through the running server.
using EndToEnd = RunningServerTest;

TEST_F(EndToEnd, PagesSubmittedOverTcpAreDeliveredAtTheNextCheck)
{
    EXPECT_EQ(submit("1234567", "Call the front desk", "Reception"),
              (QList<QByteArray>{"250 " + TSock::LocalAddress(), "250 OK",
                                 "354 Begin Sending Message", "250 Message Accepted For Processing",
                                 "250 Recieved 1 Msg(s), Delivery in 1 Min."}));
    EXPECT_EQ(submit("7654321", "Meeting moved", ""),
              (QList<QByteArray>{"250 " + TSock::LocalAddress(), "250 OK",
                                 "354 Begin Sending Message", "250 Message Accepted For Processing",
                                 "250 Recieved 1 Msg(s), Delivery in 1 Min."}));
    ASSERT_EQ(core.queuedCount(), 2);
    EXPECT_TRUE(modem.commands().isEmpty()) << "nothing is called before the check";

    minuteTick();

    EXPECT_EQ(modem.dialled(), QList<QByteArray>{"5551234"});
    ASSERT_EQ(modem.blocks().size(), 2);
    EXPECT_EQ(modem.blocks()[0].raw,
              "\x02"
              "1234567\rCall the front desk\nReception\r\x03" +
                  TOMXPage::BlockChecksum("\x02"
                                          "1234567\rCall the front desk\nReception\r\x03") +
                  "\r");
    EXPECT_EQ(modem.blocks()[1].pin, "7654321");
    EXPECT_EQ(modem.blocks()[1].field, "Meeting moved");
    EXPECT_TRUE(modem.blocks()[0].checksumValid && modem.blocks()[1].checksumValid);

    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_FALSE(queuedSections().contains("5551234"));
    EXPECT_FALSE(core.serverBusy());
    EXPECT_EQ(core.nextCheck(), 3);
    const QList<QByteArray> log = logTexts();
    EXPECT_TRUE(log.contains("Call Processing Started"));
    EXPECT_TRUE(log.contains("Sending Messages For: 5551234"));
    EXPECT_TRUE(log.contains("Sending Messages To: 1234567 From 127.0.0.1"));
    EXPECT_TRUE(log.contains("Sending Messages To: 7654321 From 127.0.0.1"));
    EXPECT_EQ(log.last(), "--------------------------");
}

TEST_F(EndToEnd, AWorkstationIsAnsweredBusyWhileTheCheckCallsAndServedAfterwards)
{
    submit("1234567", "First", "");
    QList<QByteArray> duringCall;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (!duringCall.isEmpty())
            return;
        duringCall.append("asked");
        runWhilePumping([&] {
            WorkstationClient client;
            if (!client.connectTo(port))
                return;
            client.exchange("HELO 127.0.0.1", "250 " + TSock::LocalAddress());
            duringCall.append(client.exchange("DATA", "355 Server Busy, Please Wait"));
            client.abort();
        });
    });

    minuteTick();

    ASSERT_EQ(duringCall.size(), 2);
    EXPECT_EQ(duringCall[1], "355 Server Busy, Please Wait");
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_FALSE(core.serverBusy());
}

// True while the server keeps the connection open (nothing to read, no end of it).
bool stillOpen(const WorkstationClient& client)
{
    char byte = 0;
    const ssize_t n = ::recv(client.handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

// A connection that has said nothing yet and a workstation answered "355" both wait on the
// server for their next bytes (5 s and 120 s); the call goes on meanwhile on its line.
TEST_F(EndToEnd, ClientsWaitingOnTheServerDoNotHoldTheCall)
{
    submit("1111111", "One", "");
    submit("2222222", "Two", "");
    submit("3333333", "Three", "");
    // The clients' limits as they stand; only the call runs at a fiftieth.
    runtime.listener().setPacing(Pacing::standard());
    WorkstationClient silent;
    WorkstationClient busy;
    QByteArray busyReply;
    std::atomic<bool> waiting{false};
    std::thread clients;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (clients.joinable())
            return;
        clients = std::thread([&] {
            if (silent.connectTo(port, "127.0.0.2") && busy.connectTo(port, "127.0.0.3")) {
                busy.exchange("HELO 127.0.0.3", "250 " + TSock::LocalAddress());
                busyReply = busy.exchange("DATA", "355 Server Busy, Please Wait");
            }
            waiting = true;
        });
        // The terminal answers this block once both clients are waiting on the server.
        EventPump::waitFor(WorkstationClient::SafetyMs, [&] { return waiting.load(); });
    });
    // When the line hangs up and when the run ends: were both clients still waiting?
    bool clientsWaitedAtHangUp = false;
    qsizetype pagesAtHangUp = 0;
    QObject::connect(&core, &ServerState::transmitLogAdded, &runtime, [&](const QString& l) {
        if (!l.endsWith(QStringLiteral("Disconnecting...")))
            return;
        pagesAtHangUp = modem.pins().size();
        clientsWaitedAtHangUp = waiting && stillOpen(silent) && stillOpen(busy);
    });
    bool clientsWaitedAtRunEnd = false;
    bool busyAfterRun = true;
    QObject::connect(&runtime.calls().processor(), &CallProcessor::runEnded, &runtime, [&] {
        clientsWaitedAtRunEnd = waiting && stillOpen(silent) && stillOpen(busy);
        busyAfterRun = core.serverBusy();
        // Their conversations end now, and with them the waits this test's tick sits beneath.
        if (waiting) {
            silent.abort();
            busy.abort();
        }
    });

    minuteTick();

    ASSERT_TRUE(clients.joinable());
    clients.join();

    EXPECT_EQ(busyReply, "355 Server Busy, Please Wait");
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222", "3333333"}));
    EXPECT_EQ(core.queuedCount(), 0);
    // The call and the run were over while both still waited: neither waited for them, and
    // workstations are no longer answered busy.
    EXPECT_EQ(pagesAtHangUp, 3);
    EXPECT_TRUE(clientsWaitedAtHangUp) << "the call waited for a client";
    EXPECT_TRUE(clientsWaitedAtRunEnd) << "the run's end waited for a client";
    EXPECT_FALSE(busyAfterRun);
}

// A failed page whose sender is this host: its notice would go to the server's own port and be
// taken by this very server, holding the call for a whole conversation.
TEST_F(EndToEnd, AFailedPageFromThisHostGetsNoNoticeAndTheRunGoesOn)
{
    configure([&](TServerConfig& c) { c.Port = QByteArray::number(port); });
    submit("1111111", "One", "");
    submit("2222222", "Two", "");
    int accepted = 0;
    runtime.listener().Sock1().setOnInfo([&](TSock&, TSock::TSocketInfo, const QByteArray& text) {
        if (text == "Setting HostName While Connected Has No Effect")
            ++accepted;
    });
    modem.queueBlockReplies({ScriptedModem::rs(), ScriptedModem::ack()});

    runtime.sendNow();

    EXPECT_EQ(accepted, 0) << "the server took a connection from itself during the run";
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}));
    const QByteArray skipped = "Error Notice Not Sent To: 127.0.0.1 (Loopback Address)";
    EXPECT_TRUE(transmitTexts().contains(QString::fromLatin1(skipped)));
    EXPECT_TRUE(logTexts().contains(skipped));
    EXPECT_EQ(core.queuedCount(), 0);
}

// The close the window asks for, with messages queued.
using Closing = RunningServerTest;

TEST_F(Closing, WithMessagesQueuedAnsweredYesSendsThemBeforeTheQueueGoes)
{
    queueMessage("1111111");
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), true);

    EXPECT_TRUE(requestClose());

    EXPECT_EQ(modem.blocks().size(), 1);
    EXPECT_FALSE(runtime.listener().Sock1().Listen());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(prompts.scriptDone());
}

TEST_F(Closing, WithMessagesQueuedAnsweredNoDropsThemUnsent)
{
    queueMessage("1111111");
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), false);

    EXPECT_TRUE(requestClose());

    EXPECT_TRUE(modem.commands().isEmpty());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

// A close asked for during the first of two companies' calls, at three points of the call and
// with both answers to "Send Queued Messages Firest?".
enum class Phase { Dialling, FirstBlock, HangUpPause };
struct CloseCase
{
    const char* name;
    Phase phase;
    bool sendFirst;
    QList<QByteArray> delivered; // in order; each page at most once
};

class CloseDuringRun : public RunningServerTest, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P(CloseDuringRun, TheQueueOutlivesTheRunAndTheServerClosesAfterIt)
{
    const CloseCase& c = GetParam();
    queueMessage("1111111", "5550001");
    queueMessage("2222222", "5550001");
    queueMessage("3333333", "5550002");
    bool closeRequested = false;
    int blocksAtClose = -1;
    const auto shutDown = [&] {
        if (closeRequested)
            return;
        closeRequested = true;
        blocksAtClose = int(modem.blocks().size());
        requestClose();
    };
    if (c.phase == Phase::Dialling)
        modem.setOnDial([&](const QByteArray&) { shutDown(); });
    if (c.phase == Phase::FirstBlock)
        modem.setOnBlock([&](const ScriptedModem::Block&) { shutDown(); });
    if (c.phase == Phase::HangUpPause) {
        // Comes in the pause after the first company's hang-up: the line is closed by then.
        // The line hangs up on its own thread: the close comes once the run has heard so.
        QObject::connect(&core, &ServerState::transmitLogAdded, &runtime, [&](const QString& l) {
            if (!l.endsWith(QStringLiteral("Disconnecting...")))
                return;
            auto* poll = new QTimer(&runtime);
            QObject::connect(poll, &QTimer::timeout, &runtime, [&, poll] {
                if (runtime.calls().processor().inCall())
                    return;
                poll->deleteLater();
                poll->stop();
                shutDown();
            });
            poll->start(1);
        });
    } else {
        prompts.expectQuestion(QStringLiteral("Connection Active! Terminate?"), true);
    }
    prompts.expectQuestion(QStringLiteral("Send Queued Messages Firest?"), c.sendFirst);

    runtime.sendNow();

    ASSERT_TRUE(closeRequested);
    EXPECT_TRUE(prompts.scriptDone());
    EXPECT_FALSE(closed) << "the server closed before the run was over";
    EXPECT_EQ(modem.pins(), c.delivered);
    EXPECT_EQ(modem.dialled().contains("5550002"), c.sendFirst);
    if (!c.sendFirst) {
        // The run stopped: nothing was tried after the answer but the page then in hand.
        EXPECT_LE(modem.blocks().size(), blocksAtClose + 1);
        EXPECT_FALSE(prompts.shown().join(u'|').contains(QStringLiteral("To 2222222")));
    }
    TTimeCounter counter;
    counter.setTimeOut(30);
    counter.Start();
    EXPECT_TRUE(waitUntil(counter, [&] { return closed; }));
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_FALSE(runtime.listener().Sock1().Listen());
    EXPECT_EQ(modem.dialled().count("5550001"), 1);
    if (c.sendFirst) {
        EXPECT_EQ(core.transmitLog().mid(core.transmitLog().size() - 4),
                  (QStringList{QStringLiteral("--------------------------"), QString(),
                               QStringLiteral("--------------------------"), QString()}));
    }
}

const QList<QByteArray> kAll{"1111111", "2222222", "3333333"};
const QList<QByteArray> kFirstCompany{"1111111", "2222222"};

INSTANTIATE_TEST_SUITE_P(
    Interleavings, CloseDuringRun,
    ::testing::Values(CloseCase{"DiallingSendFirst", Phase::Dialling, true, kAll},
                      CloseCase{"DiallingGiveUp", Phase::Dialling, false, {}},
                      CloseCase{"FirstBlockSendFirst", Phase::FirstBlock, true, kAll},
                      CloseCase{"FirstBlockGiveUp", Phase::FirstBlock, false, {"1111111"}},
                      CloseCase{"HangUpPauseSendFirst", Phase::HangUpPause, true, kAll},
                      CloseCase{"HangUpPauseGiveUp", Phase::HangUpPause, false, kFirstCompany}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

} // namespace
