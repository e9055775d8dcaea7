#include "tests/snpp/gatewayfixture.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"

#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"
#include "snpp/snppgateway.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppserver.h"
#include "snpp/snppsession.h"
#include "tests/support/freeport.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/workstationclient.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <functional>

namespace {

const QByteArray Greeting = SnppProtocol::greeting().trimmed();
const QByteArray ShuttingDown = SnppProtocol::shuttingDownReply();

// Runs `work` on the thread of the event loop (the server's), from a client's thread.
void onServerThread(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), work, Qt::BlockingQueuedConnection);
}

// Everything the client still gets, and that it came with the server's orderly close.
void expectEndedInOrder(SnppClient& client, const QByteArray& rest, const char* who)
{
    bool closed = false;
    EXPECT_EQ(client.rest(&closed), rest) << who;
    EXPECT_TRUE(closed) << who;
    EXPECT_FALSE(client.wasReset()) << who << ": the server closes in order after its reply";
}

// A reload that leaves the gateway on at its port keeps every open session, from the command
// line's Snpp.Dat and from the options dialog alike; a changed port and a switched-off gateway
// end them, each with "421" and an orderly close.
using GatewayReload = GatewayFixture;

TEST_F(GatewayReload, KeepsSessionsUnlessThePortChangesOrTheGatewayIsSwitchedOff)
{
    SnppGateway& gateway = m_bridge->gateway();
    ASSERT_FALSE(gateway.configure({true, m_port}));
    const quint16 moved = freeLoopbackPort().toUShort();
    runWhilePumping([&] {
        SnppClient client(m_port);
        ASSERT_EQ(client.line(), Greeting);
        EXPECT_EQ(client.command("PAGE alice"), "250 Pager ID Accepted");
        onServerThread([&] { m_bridge->start(); }); // SIGHUP: Snpp.Dat read again
        EXPECT_EQ(client.command("MESS still here"), "250 Message OK");
        onServerThread([&] { EXPECT_FALSE(gateway.configure({true, m_port})); }); // dialog OK
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully");

        EXPECT_EQ(client.command("PAGE bob"), "250 Pager ID Accepted");
        onServerThread([&] { EXPECT_FALSE(gateway.configure({true, moved})); });
        expectEndedInOrder(client, ShuttingDown, "at the old port");

        SnppClient second(moved);
        ASSERT_EQ(second.line(), Greeting);
        EXPECT_EQ(second.command("PAGE carol"), "250 Pager ID Accepted");
        onServerThread([&] { EXPECT_FALSE(gateway.configure({false, moved})); });
        expectEndedInOrder(second, ShuttingDown, "switched off");
    });
    EXPECT_EQ(queued(),
              QList<QByteArray>{"5551234/MSG1=*MSG*still here*PIN*1001*USR*127.0.0.1*ID*alice"});
    EXPECT_TRUE(waitFor([&] { return gateway.isDrained(); }));
    // Listening anew is shown once, with the port; going on at the same port is not.
    EXPECT_EQ(core.connectionLog().filter(QStringLiteral("Listening")),
              QStringList{QStringLiteral("SNPP Listening on port %1").arg(moved)});
}

// The gateway with parts of its own: every pager ID names one pager; the queue is busy for
// the message "after the run", takes every other one, and runs a step inside the first call
// that queues.
struct StubParts final : ISnppAccess, IPagerDirectory, IPageSink
{
    std::atomic<int> busyAnswers{0};
    QList<QByteArray> queuedMessages;
    std::function<void()> whileQueueing;

    bool addressAdmitted(const QByteArray&) const override { return true; }
    bool mayDial(const QByteArray&) const override { return true; }
    PagerLookup resolve(const QByteArray& id) const override
    {
        PagingCompany company;
        company.AccessNumber = "5551234";
        return {{{id, company}}, {}};
    }
    void refused(const QByteArray&, const QByteArray&, const QByteArray&) override {}
    PageSinkResult queue(const QList<SnppPage>& pages, const QByteArray&) override
    {
        if (pages.front().message == "after the run") {
            ++busyAnswers;
            return {PageSinkResult::Status::Busy, {}};
        }
        queuedMessages.append(pages.front().message);
        if (whileQueueing)
            std::exchange(whileQueueing, {})();
        return {};
    }
};

class GatewayStop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SnppTiming timing;
        timing.busyPollMs = 20;
        m_server.setTiming(timing);
        QObject::connect(&m_server, &SnppServer::drained, [this] { ++m_drained; });
        ASSERT_FALSE(m_server.listen(0));
        m_port = m_server.port();
    }

    StubParts m_parts;
    SnppServer m_server{m_parts, m_parts, m_parts};
    quint16 m_port = 0;
    int m_drained = 0;
};

// A stop that comes while a SEND is being queued: the SEND's "250" goes out first, then "421";
// what the client sent after the SEND is not taken. Sessions that are idle, in the middle of a
// message body, or waiting for the queue each get their "421" (the waiting SEND its "busy"
// first), and all end in order.
TEST_F(GatewayStop, EachSessionEndsAfterTheCommandInHandWithItsReplyThen421)
{
    m_parts.whileQueueing = [this] { m_server.stop(); };
    runWhilePumping([&] {
        SnppClient idle(m_port);
        ASSERT_EQ(idle.line(), Greeting);
        SnppClient body(m_port);
        ASSERT_EQ(body.line(), Greeting);
        EXPECT_EQ(body.command("PAGE carol"), "250 Pager ID Accepted");
        EXPECT_EQ(body.command("DATA"), "354 Begin Input; End with <CRLF>'.'<CRLF>");
        body.send("half of a message\r\n");
        SnppClient waiting(m_port);
        ASSERT_EQ(waiting.line(), Greeting);
        EXPECT_EQ(waiting.command("PAGE dave"), "250 Pager ID Accepted");
        EXPECT_EQ(waiting.command("MESS after the run"), "250 Message OK");
        waiting.send("SEND\r\n");
        // Until the queue has answered that SEND: it waits from then on.
        for (int i = 0; i < 4000 && m_parts.busyAnswers == 0; ++i)
            QThread::msleep(5);
        ASSERT_GT(m_parts.busyAnswers, 0);

        SnppClient sender(m_port);
        ASSERT_EQ(sender.line(), Greeting);
        sender.send("PAGE alice\r\nMESS one\r\nSEND\r\nPAGE bob\r\nMESS two\r\nSEND\r\n");
        EXPECT_EQ(sender.line(), "250 Pager ID Accepted");
        EXPECT_EQ(sender.line(), "250 Message OK");
        EXPECT_EQ(sender.line(), "250 Message Sent Successfully");
        expectEndedInOrder(sender, ShuttingDown, "sender");
        expectEndedInOrder(idle, ShuttingDown, "idle");
        expectEndedInOrder(body, ShuttingDown, "in a message body");
        expectEndedInOrder(waiting, SnppProtocol::busyReply() + ShuttingDown,
                           "waiting for the queue");
    });
    EXPECT_EQ(m_parts.queuedMessages, QList<QByteArray>{"one"});
    EXPECT_TRUE(waitFor([&] { return m_drained == 1; }));
    EXPECT_TRUE(m_server.isDrained());
}

// A sink that stays busy: the SEND waiting for it is given up after the limit with the busy
// reply, nothing is queued, and the session goes on.
TEST_F(GatewayStop, ASendWaitingOnABusySinkIsGivenUpAfterTheLimit)
{
    SnppTiming timing;
    timing.busyPollMs = 20;
    timing.busyLimitMs = 100;
    m_server.setTiming(timing);
    runWhilePumping([&] {
        SnppClient client(m_port);
        ASSERT_EQ(client.line(), Greeting);
        client.command("PAGE dave");
        client.command("MESS after the run");
        EXPECT_EQ(client.command("SEND"), SnppProtocol::busyReply().trimmed());
        client.command("RESE");
        client.command("PAGE dave");
        EXPECT_EQ(client.command("MESS one"), "250 Message OK");
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully");
    });
    EXPECT_GT(m_parts.busyAnswers, 1);
    EXPECT_EQ(m_parts.queuedMessages, QList<QByteArray>{"one"});
}

// A client that neither reads nor closes cannot hold a stop: its session is dropped after its
// drain time, and drained() follows.
TEST_F(GatewayStop, AClientThatNeverReadsIsDroppedAfterTheDrainTime)
{
    SnppClient deaf(m_port);
    QByteArray flood;
    for (int i = 0; i < 8000; ++i)
        flood += "HELP\r\n";
    ASSERT_TRUE(deaf.send(flood));
    ASSERT_TRUE(waitFor([&] { return m_server.sessionCount() == 1; }));
    m_server.stop();
    EXPECT_TRUE(waitFor([&] { return m_drained == 1; }));
    EXPECT_EQ(m_server.sessionCount(), 0);
}

} // namespace
