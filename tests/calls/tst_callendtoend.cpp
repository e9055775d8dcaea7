#include "calls/callprocessor.h"

#include "core/transactionlog.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "runtime/nextcheckcountdown.h"
#include "tests/calls/callfixture.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

QByteArray dataBlock(const QList<QByteArray>& lines)
{
    return lines.join("\r\n").toBase64();
}

// The server listening on a port of its own choice, with the countdown that starts the runs.
class EndToEnd : public CallFixture
{
protected:
    void SetUp() override
    {
        CallFixture::SetUp();
        core.setAllowList({"555"});
        configure([&](TServerConfig& c) { c.Port = "0"; });
        configure([&](TServerConfig& c) { c.QueTime = 3; });
        core.setNextCheck(1);
        core.listener().startListening();
        m_port = core.listener().Sock1().LocalPort();
        ASSERT_NE(m_port, 0);
        m_countdown.setOnAutomaticRun([this] { m_calls->automaticRun(); });
    }

    void TearDown() override
    {
        core.listener().stopListening();
        CallFixture::TearDown();
    }

    // One workstation's conversation; the replies it got, one per command.
    QList<QByteArray> submit(const QByteArray& pin, const QByteArray& message,
                             const QByteArray& signature)
    {
        QList<QByteArray> replies;
        runWhilePumping([&] {
            WorkstationClient client;
            if (!client.connectTo(m_port))
                return;
            replies.append(client.exchange("HELO 127.0.0.1", "250 " + TSock::LocalAddress()));
            replies.append(client.exchange("PAGE 555-1234", "250 OK"));
            replies.append(client.exchange("DATA", "354 Begin Sending Message"));
            replies.append(client.exchange(
                dataBlock({"MSG: " + message, "SIG: " + signature, "PIN: " + pin, "ID: Pat",
                           "AN: 5551234", "LENGTH: 80", "PARITY: 2", "DATA: 2", "STOP: 0"}),
                "250 Message Accepted For Processing"));
            replies.append(client.exchange("DONE", "250 Recieved 1 Msg(s), Delivery in 1 Min."));
        });
        return replies;
    }

    // A tick of the one-second timer at a whole minute.
    void minuteTick() { m_countdown.Timer1Timer(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0))); }

    NextCheckCountdown m_countdown{core, core, core};
    quint16 m_port = 0;
};

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
    EXPECT_TRUE(m_modem.commands().isEmpty()) << "nothing is called before the check";

    minuteTick();

    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5551234"});
    ASSERT_EQ(m_modem.blocks().size(), 2);
    EXPECT_EQ(m_modem.blocks()[0].raw,
              "\x02"
              "1234567\rCall the front desk\nReception\r\x03" +
                  TOMXPage::BlockChecksum("\x02"
                                          "1234567\rCall the front desk\nReception\r\x03") +
                  "\r");
    EXPECT_EQ(m_modem.blocks()[1].pin, "7654321");
    EXPECT_EQ(m_modem.blocks()[1].field, "Meeting moved");
    EXPECT_TRUE(m_modem.blocks()[0].checksumValid && m_modem.blocks()[1].checksumValid);

    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
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
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (!duringCall.isEmpty())
            return;
        duringCall.append("asked");
        runWhilePumping([&] {
            WorkstationClient client;
            if (!client.connectTo(m_port))
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

// A failed page whose sender is this host: its notice would go to the server's own port and be
// taken by this very server, holding the call for a whole conversation.
TEST_F(EndToEnd, AFailedPageFromThisHostGetsNoNoticeAndTheRunGoesOn)
{
    configure([&](TServerConfig& c) { c.Port = QByteArray::number(m_port); });
    submit("1111111", "One", "");
    submit("2222222", "Two", "");
    int accepted = 0;
    core.listener().Sock1().setOnInfo([&](TSock&, TSock::TSocketInfo, const QByteArray& text) {
        if (text == "Setting HostName While Connected Has No Effect")
            ++accepted;
    });
    m_modem.queueBlockReplies({ScriptedModem::rs(), ScriptedModem::ack()});

    m_calls->SendNow1Click();

    EXPECT_EQ(accepted, 0) << "the server took a connection from itself during the run";
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222"}));
    const QByteArray skipped = "Error Notice Not Sent To: 127.0.0.1 (Loopback Address)";
    EXPECT_TRUE(transmitTexts().contains(QString::fromLatin1(skipped)));
    EXPECT_TRUE(logTexts().contains(skipped));
    EXPECT_EQ(core.queuedCount(), 0);
}

} // namespace
