#include "net/tsock.h"
#include "tests/support/loopbackclient.h"
#include "tests/workstation/submissionserver.h"
#include "workstation/serverlistener.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class ServerListenerTest : public ListenerTest
{
protected:
    void usePort(quint16 port)
    {
        configure([&](TServerConfig& c) { c.Port = QByteArray::number(port); });
    }
};

TEST_F(ServerListenerTest, Sock1IsSetUpAsTheServersListener)
{
    TSock& sock = listener.Sock1();
    EXPECT_EQ(sock.SocketType(), TSock::stStream);
    EXPECT_EQ(sock.PortName(), "5612");
    EXPECT_FALSE(sock.Blocking());
    EXPECT_TRUE(sock.AutoAccept());
    EXPECT_FALSE(sock.Listen());
    EXPECT_EQ(sock.LineBreak(), TSock::lbCRLF);
    EXPECT_EQ(sock.BlockingTimeout(), 0);
}

TEST_F(ServerListenerTest, ListensOnTheConfiguredPortAndServesWhatItAccepts)
{
    const quint16 port = unusedPort();
    usePort(port);
    listener.startListening();
    ASSERT_TRUE(listener.Sock1().Listen());
    EXPECT_EQ(listener.Sock1().PortName(), QByteArray::number(port));
    LoopbackClient workstation(port);
    ASSERT_TRUE(workstation.isOpen());
    // A conversation runs on the connection; "DONE" ends it and the server closes.
    workstation.send("DONE");
    bool closed = false;
    ASSERT_TRUE(waitFor([&] {
        // The client's close check does not run the event loop; one short look per pass.
        closed = workstation.waitForClose(0);
        return closed;
    }));
    EXPECT_TRUE(waitFor([&] { return listener.Sock1().findChildren<TSock*>().isEmpty(); }));
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(ServerListenerTest, RestartTakesUpANewPortAndTheOldOneIsFreed)
{
    const quint16 first = unusedPort();
    usePort(first);
    listener.startListening();
    ASSERT_TRUE(listener.Sock1().Listen());

    // The same port again: the listener restarts anyway.
    listener.restartListening();
    EXPECT_TRUE(listener.Sock1().Listen());
    EXPECT_EQ(listener.Sock1().LocalPort(), first);

    const quint16 second = unusedPort();
    usePort(second);
    listener.restartListening();
    EXPECT_EQ(listener.Sock1().LocalPort(), second);
    EXPECT_FALSE(LoopbackClient(first).isOpen());
    EXPECT_TRUE(LoopbackClient(second).isOpen());

    listener.stopListening();
    EXPECT_FALSE(listener.Sock1().Listen());
    EXPECT_FALSE(LoopbackClient(second).isOpen());
}

TEST_F(ServerListenerTest, UnusablePortIsShownAndASettingsFixRecovers)
{
    configure([&](TServerConfig& c) { c.Port = "no-such-service"; });
    listener.startListening();
    EXPECT_FALSE(listener.Sock1().Listen());
    EXPECT_EQ(prompts.shown(), QStringList{QStringLiteral(
                                   "standard error: Port Lookup - Could Not Find Service Entry")});

    const quint16 port = unusedPort();
    usePort(port);
    listener.restartListening();
    EXPECT_TRUE(listener.Sock1().Listen());
    EXPECT_TRUE(LoopbackClient(port).isOpen());
}

TEST_F(ServerListenerTest, ShowIPAddressNamesTheHostsAddressInQuotes)
{
    listener.showIpAddress();
    ASSERT_EQ(prompts.shown().size(), 1);
    const QRegularExpression text(QStringLiteral(
        R"re(^information: Current IP Address Is "(\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3})"$)re"));
    const QRegularExpressionMatch match = text.match(prompts.shown().first());
    ASSERT_TRUE(match.hasMatch()) << prompts.shown().first().toStdString();
    EXPECT_EQ(match.captured(1), QString::fromLatin1(TSock::LocalAddress()));
}

} // namespace
