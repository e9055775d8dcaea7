#include "foundation/pacing.h"
#include "net/esockexception.h"
#include "net/tsock.h"
#include "net/tsockstream.h"
#include "tests/support/loopbackclient.h"

#include <QList>
#include <QPointer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Notice
{
    TSock::TSocketInfo info;
    QByteArray text;
};

// Records everything a socket reports through OnInfo.
class InfoLog
{
public:
    TSock::InfoEvent handler()
    {
        return [this](TSock&, TSock::TSocketInfo info, const QByteArray& msg) {
            m_notices.append({info, msg});
        };
    }
    bool contains(TSock::TSocketInfo info, const QByteArray& text) const
    {
        for (const Notice& notice : m_notices) {
            if (notice.info == info && notice.text == text)
                return true;
        }
        return false;
    }
    int count(const QByteArray& text) const
    {
        int n = 0;
        for (const Notice& notice : m_notices)
            n += notice.text == text ? 1 : 0;
        return n;
    }

private:
    QList<Notice> m_notices;
};

// A listener as the server runs it: stream, non-blocking, auto-accept, on a free port.
class ListenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        listener.setPortName("0");
        listener.setAutoAccept(true);
        listener.setLineBreak(TSock::lbCRLF);
        listener.setOnInfo(log.handler());
    }
    void startListening()
    {
        listener.setListen(true);
        ASSERT_TRUE(listener.Listen());
        port = listener.LocalPort();
        ASSERT_NE(port, 0);
    }
    QList<TSock*> connections() const
    {
        return listener.findChildren<TSock*>(Qt::FindDirectChildrenOnly);
    }

    InfoLog log;
    TSock listener;
    quint16 port = 0;
};

TEST_F(ListenerTest, AcceptedConnectionStartsConnectedWithPeerAddressAndListenersPort)
{
    startListening();
    QByteArray host, portName;
    bool connected = false;
    listener.setOnAutoAccept([&](TSock& from, TSock& client) {
        EXPECT_EQ(&from, &listener);
        connected = client.Connected();
        host = client.HostName();
        portName = client.PortName();
        client.Close();
    });
    LoopbackClient workstation(port);
    ASSERT_TRUE(waitFor([&] { return !host.isEmpty(); }));
    EXPECT_TRUE(connected);
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(portName, "0");
    EXPECT_EQ(listener.RemoteAddress(), "127.0.0.1");
    EXPECT_TRUE(log.contains(TSock::siLookup, "Setting HostName While Connected Has No Effect"));
    EXPECT_TRUE(log.contains(TSock::siLookup, "Setting PortName While Connected Has No Effect"));
    EXPECT_TRUE(workstation.waitForClose());
}

// Each conversation waits in the event loop, so the next client is served to its end inside
// the previous one's wait: last in, first out.
TEST_F(ListenerTest, SecondClientIsServedNestedInsideTheFirstOnesWait)
{
    startListening();
    QStringList order;
    std::unique_ptr<LoopbackClient> second;
    bool secondDone = false;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        if (!second) {
            order << QStringLiteral("start 1");
            second = std::make_unique<LoopbackClient>(port);
            second->send("hello");
            EXPECT_TRUE(waitFor([&] { return secondDone; }));
            order << QStringLiteral("end 1");
            client.SendLine("bye 1");
            client.Close();
            return;
        }
        order << QStringLiteral("start 2");
        QByteArray received;
        EXPECT_TRUE(waitFor([&] {
            received += client.Receive();
            return received == "hello";
        }));
        client.Send("hi");
        client.Close();
        order << QStringLiteral("end 2");
        secondDone = true;
    });
    LoopbackClient first(port);
    ASSERT_TRUE(waitFor([&] { return order.size() == 4; }));
    EXPECT_EQ(order, QStringList({QStringLiteral("start 1"), QStringLiteral("start 2"),
                                  QStringLiteral("end 2"), QStringLiteral("end 1")}));
    EXPECT_EQ(second->receive(2), "hi");
    EXPECT_EQ(first.receive(7), "bye 1\r\n");
}

TEST_F(ListenerTest, ReceiveCountTakesTheFrontOfTheBufferAndLeavesTheRest)
{
    startListening();
    TSock* accepted = nullptr;
    listener.setOnAutoAccept([&](TSock&, TSock& client) { accepted = &client; });
    LoopbackClient workstation(port);
    ASSERT_TRUE(waitFor([&] { return accepted != nullptr; }));
    workstation.send("0123456789AB");
    ASSERT_TRUE(waitFor([&] { return accepted->BytesAvailable() == 12; }));
    EXPECT_EQ(accepted->ReceiveCount(5), "01234");
    EXPECT_EQ(accepted->BytesAvailable(), 7);
    // The stream view reads and writes through the same buffers.
    EXPECT_EQ(accepted->Stream().Read(2), "56");
    EXPECT_EQ(accepted->Stream().Seek(10, 0), 0);
    EXPECT_EQ(accepted->Receive(), "789AB");
    EXPECT_EQ(accepted->Stream().Write("pong"), 4);
    EXPECT_EQ(workstation.receive(4), "pong");
    // Nothing buffered on an open non-blocking connection: the empty text, no error.
    EXPECT_EQ(accepted->Receive(), QByteArray());
    EXPECT_TRUE(log.contains(TSock::siIncoming, "Non-Blocking Incoming Data"));
}

TEST_F(ListenerTest, ResetIsReportedAndLeavesTheConnectionOpenWhileCloseDisconnects)
{
    startListening();
    QList<QPointer<TSock>> accepted;
    int disconnects = 0;
    listener.setOnDisconnect([&](TSock&) { ++disconnects; });
    listener.setOnAutoAccept([&](TSock&, TSock& client) { accepted.append(&client); });

    LoopbackClient resetting(port);
    ASSERT_TRUE(waitFor([&] { return accepted.size() == 1; }));
    resetting.reset();
    ASSERT_TRUE(waitFor([&] { return log.count("Error #10054 (WSAECONNRESET)") == 1; }));
    ASSERT_TRUE(accepted[0]);
    EXPECT_TRUE(accepted[0]->Connected());
    EXPECT_EQ(disconnects, 0);

    LoopbackClient closing(port);
    ASSERT_TRUE(waitFor([&] { return accepted.size() == 2; }));
    closing.send("bytes before the end");
    closing.close();
    ASSERT_TRUE(waitFor([&] { return disconnects == 1; }));
    ASSERT_TRUE(accepted[1]);
    EXPECT_FALSE(accepted[1]->Connected());
    // What arrived before the close can still be taken; only then is the socket gone.
    EXPECT_EQ(accepted[1]->Receive(), "bytes before the end");
    EXPECT_THROW(
        {
            try {
                accepted[1]->Receive();
            } catch (const ESockException& e) {
                EXPECT_EQ(e.message(), "Receive - Socket Not Connected");
                throw;
            }
        },
        ESockException);
    accepted[0]->Close();
}

TEST_F(ListenerTest, ListenTwiceKeepsOneSocketAndListenOffStops)
{
    startListening();
    listener.setListen(true);
    EXPECT_TRUE(log.contains(TSock::siListening, "Listening Started"));
    EXPECT_EQ(log.count("Listening Started"), 1);
    EXPECT_EQ(log.count("Listening Already Running"), 1);
    EXPECT_EQ(listener.LocalPort(), port);
    listener.setListen(false);
    EXPECT_FALSE(listener.Listen());
    EXPECT_TRUE(log.contains(TSock::siListening, "Listening Stopped"));
    EXPECT_EQ(log.count("Socket Closed"), 1);
    // Switching off a socket that is not listening still closes and reports.
    listener.setListen(false);
    EXPECT_EQ(log.count("Socket Closed"), 2);
    EXPECT_EQ(log.count("Listening Stopped"), 2);
    LoopbackClient refused(port);
    EXPECT_FALSE(refused.isOpen());
}

TEST_F(ListenerTest, FailedBindClosesItsSocketSoTheNextAttemptSucceeds)
{
    startListening();
    TSock second;
    second.setPortName(QByteArray::number(port));
    try {
        second.setListen(true);
        FAIL() << "binding a port in use must fail";
    } catch (const ESockException& e) {
        EXPECT_EQ(e.message(), "Listen - Error Binding Socket");
    }
    EXPECT_FALSE(second.Listen());
    EXPECT_FALSE(second.Connected());
    listener.setListen(false);
    second.setListen(true);
    EXPECT_TRUE(second.Listen());
    EXPECT_EQ(second.LocalPort(), port);
}

TEST_F(ListenerTest, ListenerRestartsOnTheSamePortAfterServingClients)
{
    startListening();
    int served = 0;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        client.Send("x");
        client.Close();
        ++served;
    });
    LoopbackClient one(port);
    ASSERT_TRUE(waitFor([&] { return served == 1; }));
    EXPECT_TRUE(one.waitForClose());
    listener.setListen(false);
    listener.setPortName(QByteArray::number(port));
    listener.setListen(true);
    LoopbackClient two(port);
    ASSERT_TRUE(waitFor([&] { return served == 2; }));
}

TEST_F(ListenerTest, ConnectionObjectsAndDescriptorsAreReleasedWhenConversationsEnd)
{
    startListening();
    int served = 0;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        ++served;
        if (served % 2 == 0)
            client.Close(); // the handler ends the conversation itself
        // otherwise the handler returns with the connection open; the peer ends it
    });
    const int baseline = openDescriptorCount();
    for (int round = 0; round < 20; ++round) {
        LoopbackClient workstation(port);
        ASSERT_TRUE(waitFor([&] { return served == round + 1; }));
        workstation.close();
    }
    ASSERT_TRUE(waitFor([&] { return connections().isEmpty(); }))
        << connections().size() << " connection objects still held";
    EXPECT_EQ(openDescriptorCount(), baseline);
}

TEST_F(ListenerTest, PausedListenerLeavesClientsWaitingUntilResumed)
{
    startListening();
    int started = 0;
    std::unique_ptr<LoopbackClient> second;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        if (++started == 1) {
            listener.setAcceptPaused(true);
            second = std::make_unique<LoopbackClient>(port);
            Pacing::standard().pauseResponsive(100);
            EXPECT_EQ(started, 1) << "a paused listener accepted a connection";
            listener.setAcceptPaused(false);
            EXPECT_TRUE(waitFor([&] { return started == 2; }));
        }
        client.Close();
    });
    LoopbackClient first(port);
    ASSERT_TRUE(waitFor([&] { return started == 2; }));
    EXPECT_TRUE(second->waitForClose());
}

// The settings dialog can be confirmed while a conversation waits: the listener is then
// switched off and on inside its own accept notification.
TEST_F(ListenerTest, ListenerRestartedInsideAConversationKeepsServing)
{
    startListening();
    int served = 0;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        if (++served == 1) {
            listener.setListen(false);
            listener.setListen(true);
        }
        client.Close();
    });
    LoopbackClient first(port);
    ASSERT_TRUE(waitFor([&] { return served == 1; }));
    ASSERT_TRUE(listener.Listen());
    LoopbackClient second(listener.LocalPort());
    ASSERT_TRUE(waitFor([&] { return served == 2; }));
    EXPECT_TRUE(second.waitForClose());
}

TEST_F(ListenerTest, BlockingListenerServesEachConnectionOnItsOwnThread)
{
    listener.setBlocking(true);
    listener.setOnInfo({});
    startListening();
    std::atomic<int> finished{0};
    listener.setBlockingTimeout(-1);
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        QByteArray line;
        while (client.Connected() && !line.endsWith("\r\n"))
            line += client.Receive();
        client.Send("got " + line);
        client.Close();
        ++finished;
    });
    LoopbackClient workstation(port);
    workstation.send("hello\r\n");
    // Accepting runs in this thread's event loop; the conversation on the connection's thread.
    ASSERT_TRUE(waitFor([&] { return finished == 1 && connections().isEmpty(); }));
    EXPECT_EQ(workstation.receive(11), "got hello\r\n");
}

// Out of descriptors, a waiting connection is taken with the listener's spare descriptor and
// closed at once, so its client is not left hanging; once descriptors are free again, the next
// one is served.
TEST_F(ListenerTest, ListenerOutOfDescriptorsRefusesAtOnceAndServesAgainLater)
{
    const Pacing pacing(0.01);
    listener.setPacing(pacing);
    startListening();
    int served = 0;
    QList<QByteArray> refused;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        ++served;
        client.Close();
    });
    listener.setOnRefuse([&](TSock&, const QByteArray& address) { refused.append(address); });
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    // The workstation takes the last descriptor this process may open; accepting then fails.
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree + 1);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    LoopbackClient workstation(port);
    const bool refusedWhileShort = waitFor([&] { return refused.size() == 1; });
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    listener.setPacing(Pacing::standard());
    ASSERT_TRUE(workstation.isOpen());
    EXPECT_TRUE(refusedWhileShort);
    EXPECT_EQ(served, 0);
    EXPECT_EQ(refused, QList<QByteArray>{"127.0.0.1"});
    EXPECT_TRUE(workstation.waitForClose());

    LoopbackClient next(port);
    EXPECT_TRUE(waitFor([&] { return served == 1; }));
    EXPECT_TRUE(next.waitForClose());
}

// Short of descriptors but not out of them: a connection that would leave less than the reserve
// is closed at once, so the rest of the program always finds the descriptors it needs.
TEST_F(ListenerTest, ConnectionThatWouldEatIntoTheReserveIsRefused)
{
    startListening();
    int served = 0;
    int refusedCount = 0;
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        ++served;
        client.Close();
    });
    listener.setOnRefuse([&](TSock&, const QByteArray&) { ++refusedCount; });
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    // The workstation's own socket takes one; the accepted one would be the next, leaving
    // fewer than the reserve free.
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree + TSock::DescriptorReserve);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    LoopbackClient workstation(port);
    const bool refused = waitFor([&] { return refusedCount == 1; });
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_TRUE(refused);
    EXPECT_EQ(served, 0);
    EXPECT_TRUE(workstation.waitForClose());
}

TEST(TSockClient, NonBlockingConnectToAClosedPortReportsRefusal)
{
    InfoLog log;
    TSock client;
    bool connectRaised = false;
    client.setOnInfo(log.handler());
    client.setOnConnect([&](TSock&) { connectRaised = true; });
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(unusedPort()));
    EXPECT_FALSE(client.Open());
    ASSERT_TRUE(waitFor([&] { return log.count("Error #10061 (WSAECONNREFUSED)") == 1; }));
    EXPECT_TRUE(log.contains(TSock::siError, "Error #10061 (WSAECONNREFUSED)"));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(connectRaised);
    // The failed socket stays until its owner closes it: Open does not connect again.
    EXPECT_FALSE(client.Open());
    client.Close();
}

TEST(TSockClient, SendWhileConnectingGoesOutWithTheFirstWriteEvent)
{
    TSock server;
    server.setPortName("0");
    server.setAutoAccept(true);
    QByteArray received;
    server.setOnAutoAccept([&](TSock&, TSock& connection) {
        EXPECT_TRUE(waitFor([&] {
            received += connection.Receive();
            return received.size() >= 3;
        }));
        connection.Close();
    });
    server.setListen(true);

    InfoLog log;
    TSock client;
    int connects = 0;
    int writes = 0;
    client.setOnInfo(log.handler());
    client.setOnConnect([&](TSock&) { ++connects; });
    client.setOnWrite([&](TSock&) { ++writes; });
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(server.LocalPort()));
    client.setLineBreak(TSock::lbLF); // SendLine ends with CR LF whatever LineBreak holds
    EXPECT_FALSE(client.Open());
    EXPECT_TRUE(client.SendLine("x"));
    ASSERT_TRUE(waitFor([&] { return received.size() >= 3; }));
    EXPECT_EQ(received, "x\r\n");
    EXPECT_EQ(connects, 1);
    EXPECT_GE(writes, 1);
    EXPECT_TRUE(log.contains(TSock::siConnected, "Non-Blocking Socket Connected"));
    EXPECT_TRUE(log.contains(TSock::siLookup, "Lookup Of Host 127.0.0.1"));
    EXPECT_TRUE(log.contains(TSock::siLookup, "Lookup Of Port " + client.PortName()));
}

TEST(TSockClient, ListenOnAConnectedClientIsRefused)
{
    TSock server;
    server.setPortName("0");
    server.setAutoAccept(true);
    server.setOnAutoAccept([](TSock&, TSock&) {});
    server.setListen(true);
    TSock client;
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(server.LocalPort()));
    client.Open();
    ASSERT_TRUE(waitFor([&] { return client.Connected(); }));
    try {
        client.setListen(true);
        FAIL() << "a connected socket cannot listen";
    } catch (const ESockException& e) {
        EXPECT_EQ(e.message(), "Listen - Socket Already In Use");
    }
    EXPECT_FALSE(client.Listen());
    EXPECT_TRUE(client.Connected());
    EXPECT_THROW(client.setSocketType(TSock::stDatagram), ESockException);
    EXPECT_THROW(server.setSocketType(TSock::stDatagram), ESockException);
    EXPECT_THROW(server.Send("x"), ESockException);
    EXPECT_THROW(server.Receive(), ESockException);
}

TEST(TSockClient, BlockingClientConnectsSendsAndReceives)
{
    TSock server;
    server.setPortName("0");
    server.setAutoAccept(true);
    server.setOnAutoAccept([](TSock&, TSock& connection) {
        QByteArray line;
        EXPECT_TRUE(waitFor([&] {
            line += connection.Receive();
            return line.endsWith("\r\n");
        }));
        connection.Send("echo " + line);
        connection.Close();
    });
    server.setListen(true);

    InfoLog log;
    TSock client;
    client.setOnInfo(log.handler());
    client.setBlocking(true);
    client.setBlockingTimeout(-1);
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(server.LocalPort()));
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(log.contains(TSock::siConnected, "Blocking Socket Connected"));
    client.SendLine("ping");
    // The server answers only while the event loop runs; the blocking receive waits on the
    // socket alone, so let the server run first.
    ASSERT_TRUE(waitFor([&] { return server.findChildren<TSock*>().isEmpty(); }));
    QByteArray reply;
    while (client.Connected() && !reply.endsWith("\r\n"))
        reply += client.Receive();
    EXPECT_EQ(reply, "echo ping\r\n");
    client.Receive(); // the end of the stream
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(log.contains(TSock::siClosed, "Socket Disconnected On Receive"));
}

TEST(TSockClient, BlockingConnectToAClosedPortFailsAndCloses)
{
    InfoLog log;
    TSock client;
    client.setOnInfo(log.handler());
    client.setBlocking(true);
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(unusedPort()));
    EXPECT_FALSE(client.Open());
    EXPECT_TRUE(log.contains(TSock::siClosed, "Blocking Socket Can't Connect"));
    EXPECT_THROW(client.Send("x"), ESockException);
}

TEST(TSockDatagram, DatagramArrivesWithItsSendersAddress)
{
    TSock receiver;
    receiver.setSocketType(TSock::stDatagram);
    receiver.setPortName("0");
    int reads = 0;
    receiver.setOnRead([&](TSock&, int) { ++reads; });
    ASSERT_TRUE(receiver.Open());
    EXPECT_THROW(receiver.setListen(true), ESockException);

    // A datagram socket sends to its own port: the sender names the receiver's port, which
    // it cannot bind itself, so it stays unconnected and still sends.
    TSock sender;
    sender.setSocketType(TSock::stDatagram);
    sender.setPortName(QByteArray::number(receiver.LocalPort()));
    EXPECT_FALSE(sender.Open());
    sender.SendDatagram("ping", "127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return reads == 1; }));
    QByteArray from;
    EXPECT_EQ(receiver.ReceiveDatagram(from), "ping");
    EXPECT_EQ(from, "127.0.0.1");
    EXPECT_THROW(
        {
            TSock stream;
            QByteArray ignored;
            stream.ReceiveDatagram(ignored);
        },
        ESockException);
}

TEST(TSockAddress, LocalAddressIsADottedIPv4Address)
{
    const QByteArray address = TSock::LocalAddress();
    in_addr parsed{};
    EXPECT_EQ(inet_pton(AF_INET, address.constData(), &parsed), 1) << address.constData();
}

} // namespace
