#include "tapnetworktest.h"

#include "foundation/ttimecounter.h"
#include "paging/elinelost.h"
#include "paging/tomxpage.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/tempdatadir.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

namespace {

using Texts = QList<QByteArray>;

// The 59-character message that TAP sends in two blocks at a message length of 80.
const QByteArray kTwoBlocks = "Meeting moved to room 12 at three, please bring the reports";

TEST_F(TapNetworkTest, LogsOnAsAfterConnectDeliversAndSignsOff)
{
    auto line = lineTo(terminalUrl());
    line->setPassword("s3cret");
    ASSERT_TRUE(line->Connect());
    EXPECT_TRUE(line->inCall());
    EXPECT_EQ(progress, (Texts{"Connecting To " + terminalUrl(), "Connected", "Loging On",
                               "Login Accepted"}));
    // No modem commands: the log-on line is the first thing the terminal gets.
    EXPECT_EQ(server.received(), QByteArray("\x1bPG1s3cret\r"));

    progress.clear();
    EXPECT_TRUE(line->SendPage("1234567", kTwoBlocks));
    ASSERT_EQ(server.terminal().blocks().size(), 2);
    for (const ScriptedTerminal::Block& block : server.terminal().blocks())
        EXPECT_TRUE(block.checksumValid);
    EXPECT_EQ(progress, (Texts{"Sending Message To 1234567", "Sending Block 1 of 2", "Message Sent",
                               "Sending Block 2 of 2", "Message Sent"}));

    progress.clear();
    EXPECT_FALSE(line->Disconnect());
    EXPECT_EQ(progress, Texts{"Disconnecting..."});
    EXPECT_FALSE(line->inCall());
    EXPECT_TRUE(server.waitForClose(30));
    EXPECT_TRUE(server.terminal().endOfCallReceived());
    EXPECT_TRUE(server.received().endsWith("\x1b\x04\r"));
    EXPECT_EQ(server.closedByClient(), 1);
    EXPECT_FALSE(line->pausesAfterHangUp());
    EXPECT_EQ(line->lineName(), terminalUrl());
}

// The exchange is the modem engine's own: with the same terminal script, the bytes the
// terminal receives after CONNECT and the progress after "Connected" are the same over a
// modem and over TCP.
TEST_F(TapNetworkTest, TerminalGetsTheSameBytesAsThroughTheModem)
{
    const auto script = [](ScriptedTerminal& terminal) {
        terminal.setIdPrompt(ScriptedTerminal::IdPrompt::AfterCr);
        terminal.queueLogonReplies({ScriptedTerminal::nak(), ScriptedTerminal::ack()});
        // Block 1 resent after a checksum error, block 2 taken, the second message refused,
        // the third deferred.
        terminal.queueBlockReplies({ScriptedTerminal::nak(), "211\r\x06\r", ScriptedTerminal::ack(),
                                    ScriptedTerminal::rs(), "213\r\x06\r"});
    };
    const auto call = [](IPagingLine& line) {
        line.setPassword("pw");
        line.setMsgLength(80);
        EXPECT_TRUE(line.Connect());
        EXPECT_TRUE(line.SendPage("1234567", kTwoBlocks));
        EXPECT_THROW(line.SendPage("7654321", "refused\x1b pin"), EPageError);
        EXPECT_TRUE(line.SendPage("1234567", "Caf\xe9\r\n\x02 ok"));
        line.Disconnect();
    };

    TempDataDir dir;
    ScriptedModem modem;
    ASSERT_TRUE(modem.linkAs(dir.path(), 1));
    TOMXPage page;
    page.setPacing(pacing);
    page.setDeviceDirectory(dir.path());
    page.setComPort(pnCOM1);
    page.setPinNumber("1234567");
    page.setProvider("5551234");
    Texts modemProgress;
    page.setOnPageProgress([&](const QByteArray& text) { modemProgress.append(text); });
    script(modem.terminal());
    call(page);
    EXPECT_EQ(page.lineName(), QByteArray("COM1"));
    ASSERT_TRUE(modem.waitForHangUp(30));

    auto line = lineTo(terminalUrl());
    script(server.terminal());
    call(*line);
    ASSERT_TRUE(server.waitForClose(30));

    const QByteArray dialled = "atdt 5551234\r\n";
    const QByteArray online =
        modem.received().mid(modem.received().indexOf(dialled) + dialled.size());
    EXPECT_EQ(server.received(), online);
    EXPECT_EQ(server.terminal().blocks().size(), 5);
    EXPECT_EQ(progress.mid(progress.indexOf("Connected")),
              modemProgress.mid(modemProgress.indexOf("Connected")));
}

TEST_F(TapNetworkTest, RefusedConnectionIsAConnectionFailureWithItsReason)
{
    const QByteArray url = terminalUrl();
    server.stopListening();
    auto line = lineTo(url);
    EXPECT_EQ(pageErrorOf([&] { line->Connect(); }), 15);
    ASSERT_EQ(progress.size(), 2);
    EXPECT_TRUE(progress.last().startsWith("Connection Failed: ")) << progress.last().data();
    EXPECT_TRUE(progress.last().toLower().contains("refused")) << progress.last().data();
    EXPECT_FALSE(line->inCall());
    EXPECT_FALSE(line->SendPage("1234567", "never"));
}

TEST_F(TapNetworkTest, TerminalThatNeverPromptsOrAnswersRunsOutTheCounter)
{
    auto line = lineTo(terminalUrl());
    server.terminal().setIdPrompt(ScriptedTerminal::IdPrompt::Never);
    EXPECT_EQ(pageErrorOf([&] { line->Connect(); }), 0);
    EXPECT_EQ(progress.last(), QByteArray("No Response From Paging Network"));
    EXPECT_FALSE(line->inCall());
    EXPECT_TRUE(server.waitForClose(30));
    EXPECT_EQ(server.terminal().promptCrs(), 3);

    server.terminal().setIdPrompt(ScriptedTerminal::IdPrompt::AtOnce);
    server.terminal().queueBlockReplies({ScriptedTerminal::silence()});
    ASSERT_TRUE(line->Connect());
    EXPECT_EQ(pageErrorOf([&] { line->SendPage("1234567", "hello"); }), 0);
    EXPECT_EQ(progress.last(), QByteArray("No Response From Terminal"));
    EXPECT_TRUE(line->inCall()) << "a silent terminal leaves the call to the caller";
}

// A message the carrier never got a byte of is not lost: it stays for the next call.
TEST_F(TapNetworkTest, CarrierEndingTheCallBetweenMessagesKeepsTheNextOneUnsent)
{
    auto line = lineTo(terminalUrl());
    ASSERT_TRUE(line->Connect());
    EXPECT_TRUE(line->SendPage("1234567", "first"));
    server.dropConnection();
    TTimeCounter counter(pacing);
    counter.setTimeOut(30);
    counter.Start();
    ASSERT_TRUE(waitUntil(counter, [&] { return !server.connectionOpen(); }));

    progress.clear();
    EXPECT_THROW(line->SendPage("1234567", "second"), ELineLost);
    EXPECT_EQ(server.terminal().blocks().size(), 1);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(progress.last().startsWith("Connection Lost: ")) << progress.last().data();
    EXPECT_FALSE(line->inCall());
    // The call is over: later messages are not sent either, and nothing is raised for them.
    EXPECT_FALSE(line->SendPage("1234567", "third"));
}

// A block that went out before the carrier hung up may have been delivered: the message is
// failed, never sent again.
TEST_F(TapNetworkTest, CarrierEndingTheCallAfterABlockFailsThatMessageOnce)
{
    auto line = lineTo(terminalUrl());
    ASSERT_TRUE(line->Connect());
    server.terminal().queueBlockReplies({ScriptedTerminal::silence()});
    server.terminal().setOnBlock([&](const ScriptedTerminal::Block&) { server.dropConnection(); });
    EXPECT_EQ(pageErrorOf([&] { line->SendPage("1234567", "in flight"); }), 0);
    EXPECT_EQ(server.terminal().blocks().size(), 1);
    EXPECT_FALSE(line->inCall());
}

TEST_F(TapNetworkTest, CancelWhileWaitingReturnsFalseQuietly)
{
    auto line = lineTo(terminalUrl());
    server.terminal().setIdPrompt(ScriptedTerminal::IdPrompt::Never);
    QTimer::singleShot(pacing.scaled(2000), line.get(), [&] { line->Disconnect(); });
    bool connected = true;
    EXPECT_NO_THROW(connected = line->Connect());
    EXPECT_FALSE(connected);
    EXPECT_EQ(progress.last(), QByteArray("Disconnecting..."));
    EXPECT_TRUE(server.waitForClose(30));
    EXPECT_TRUE(server.terminal().endOfCallReceived());

    server.terminal().setIdPrompt(ScriptedTerminal::IdPrompt::AtOnce);
    ASSERT_TRUE(line->Connect());
    server.terminal().queueBlockReplies({ScriptedTerminal::silence()});
    server.terminal().setOnBlock([&](const ScriptedTerminal::Block&) { line->Disconnect(); });
    bool sent = true;
    EXPECT_NO_THROW(sent = line->SendPage("1234567", "hello"));
    EXPECT_FALSE(sent);
    EXPECT_FALSE(line->inCall());
    EXPECT_FALSE(line->SendPage("1234567", "after the cancel"));
}

// A far end that takes the connection and says nothing (a TLS handshake that never comes)
// holds the set-up no longer than the counter allows, and a cancel ends it at once.
TEST_F(TapNetworkTest, SilentFarEndDuringTheTlsHandshake)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const QByteArray url = "tap+tls://127.0.0.1:" + QByteArray::number(silent.serverPort());

    auto line = lineTo(url);
    EXPECT_EQ(pageErrorOf([&] { line->Connect(); }), 15);
    EXPECT_EQ(progress.last(), QByteArray("Connection Failed: no connection within 60 seconds"));

    progress.clear();
    QTimer::singleShot(pacing.scaled(5000), line.get(), [&] { line->Disconnect(); });
    bool connected = true;
    EXPECT_NO_THROW(connected = line->Connect());
    EXPECT_FALSE(connected);
    EXPECT_EQ(progress, Texts{"Connecting To " + url});
}

} // namespace
