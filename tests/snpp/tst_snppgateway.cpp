#include "tests/snpp/gatewayfixture.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"

#include "core/transactionlog.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppserver.h"
#include "snpp/snppsession.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/workstationclient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <memory>
#include <vector>

namespace {

using GatewayTest = GatewayFixture;

const QByteArray Greeting = SnppProtocol::greeting().trimmed();

TEST_F(GatewayTest, ProtocolCasesThroughARawSocket)
{
    runWhilePumping([&] {
        SnppClient client(m_port);
        EXPECT_EQ(client.line(), Greeting);
        // Unknown pager; SEND without PAGE, without a message, and after RESE.
        EXPECT_EQ(client.command("PAGE zed"), "550 Error, Invalid Pager ID");
        EXPECT_EQ(client.command("SEND"), "503 Error, Pager ID or Message Incomplete");
        EXPECT_EQ(client.command("PAGE alice"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("SEND"), "503 Error, Pager ID or Message Incomplete");
        EXPECT_EQ(client.command("MESS disk full"), "250 Message OK");
        EXPECT_EQ(client.command("RESE"), "250 RESET OK");
        EXPECT_EQ(client.command("SEND"), "503 Error, Pager ID or Message Incomplete");
        // A company whose number the allow list does not hold.
        EXPECT_EQ(client.command("PAGE dave"), "550 Error, Access Number 7771234 Not Allowed");
        EXPECT_EQ(client.command("PAGE 42@far paging"),
                  "550 Error, Access Number 7771234 Not Allowed");
        // Several commands in one write are served one after the other.
        client.send("PAGE Alice\r\nMESS disk full\r\nSEND\r\n");
        EXPECT_EQ(client.line(), "250 Pager ID Accepted");
        EXPECT_EQ(client.line(), "250 Message OK");
        EXPECT_EQ(client.line(), "250 Message Sent Successfully");
        EXPECT_EQ(client.command("QUIT"), "221 OK, Goodbye");
        bool closed = false;
        EXPECT_EQ(client.rest(&closed), "");
        EXPECT_TRUE(closed);
    });
    EXPECT_EQ(queued(),
              QList<QByteArray>{"5551234/MSG1=*MSG*disk full*PIN*1001*USR*127.0.0.1*ID*Alice"});
    EXPECT_EQ(core.queuedCount(), 1);
    EXPECT_EQ(core.connectionLog(),
              (QStringList{QStringLiteral("SNPP Message Refused From: 127.0.0.1 To: zed (Invalid "
                                          "Pager ID)"),
                           QStringLiteral("SNPP Message Refused From: 127.0.0.1 To: dave (Access "
                                          "Number Not Allowed: 7771234)"),
                           QStringLiteral("SNPP Message Refused From: 127.0.0.1 To: 42@far paging "
                                          "(Access Number Not Allowed: 7771234)"),
                           QStringLiteral("Message Received From: 127.0.0.1"),
                           QStringLiteral("  Msg. To: Alice"), QStringLiteral("         PIN: 1001"),
                           QStringLiteral(" Provider: 5551234"),
                           QStringLiteral("Message: disk full"), QString(42, QLatin1Char('-'))}));
}

TEST_F(GatewayTest, TheAddressListsApplyToTheRealAddressAtConnectAndAtSend)
{
    configure([&](TServerConfig& c) { c.IPDeny = "127.0.0.2 127.0.0.3"; });
    configure([&](TServerConfig& c) { c.IPAccept = "127.0.0.3"; });
    runWhilePumping([&] {
        SnppClient denied(m_port, "127.0.0.2");
        bool closed = false;
        EXPECT_EQ(denied.rest(&closed), SnppProtocol::deniedReply());
        EXPECT_TRUE(closed);

        SnppClient admitted(m_port, "127.0.0.3");
        EXPECT_EQ(admitted.line(), Greeting);
        EXPECT_EQ(admitted.command("PAGE ops"), "250 Pager ID Accepted");
        EXPECT_EQ(admitted.command("MESS hello"), "250 Message OK");
        // The operator takes the address out of the accept list meanwhile.
        configure([](TServerConfig& c) { c.IPAccept.clear(); });
        EXPECT_EQ(admitted.command("SEND"), SnppProtocol::deniedReply().trimmed());
        EXPECT_EQ(admitted.rest(&closed), "");
        EXPECT_TRUE(closed);
    });
    EXPECT_TRUE(queued().isEmpty());
}

TEST_F(GatewayTest, ATransactionWhosePagersCannotAllBeQueuedQueuesNone)
{
    core.setAllowList({"555", "777"});
    runWhilePumping([&] {
        SnppClient client(m_port);
        client.line();
        // The last pager's PIN would end its entry early.
        EXPECT_EQ(client.command("PAGE ops"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("PAGE 5*ID*@Metro Paging"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("MESS call the desk"), "250 Message OK");
        EXPECT_EQ(client.command("SEND"), "550 Message Failed: Field Holds A Queue Marker");
        EXPECT_EQ(client.command("RESE"), "250 RESET OK");
        EXPECT_EQ(client.command("PAGE ops"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("PAGE dave"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("MESS call the desk"), "250 Message OK");
        // The allow list changes between PAGE and SEND: the queue checks every page again.
        core.setAllowList({"555"});
        EXPECT_EQ(client.command("SEND"), "550 Error, Access Number 7771234 Not Allowed");
        EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
        core.setAllowList({"555", "777"});
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully");
    });
    EXPECT_EQ(queued(), (QList<QByteArray>{
                            "5551234/MSG1=*MSG*call the desk*PIN*1001*USR*127.0.0.1*ID*ops",
                            "5551234/MSG2=*MSG*call the desk*PIN*1002*USR*127.0.0.1*ID*ops",
                            "5551234/MSG3=*MSG*call the desk*PIN*1003*USR*127.0.0.1*ID*ops",
                            "7771234/MSG1=*MSG*call the desk*PIN*1004*USR*127.0.0.1*ID*dave"}));
    EXPECT_EQ(core.queuedCount(), 4);
}

// A company's section with no free key left is the server's limit: 554, nothing queued, and
// the pages of other companies are still taken.
TEST_F(GatewayTest, AFullSectionIsTheServersFailureNotThePages)
{
    QByteArray file = "[5551234]\r\n";
    for (qint32 n = 1; n <= MessageQueueFile::MaxMessageNumber; ++n)
        file += MessageQueueFile::messageKey(n) + "=*MSG*old*PIN*1*USR*127.0.0.1*ID*x\r\n";
    dir.write(MessageQueueFile::FileName, file);
    core.setAllowList({"555", "777"});
    runWhilePumping([&] {
        SnppClient client(m_port);
        client.line();
        EXPECT_EQ(client.command("PAGE alice"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("MESS call"), "250 Message OK");
        EXPECT_EQ(client.command("SEND"), "554 Message Failed: Queue Full");
        EXPECT_EQ(client.command("RESE"), "250 RESET OK");
        EXPECT_EQ(client.command("PAGE dave"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("MESS call"), "250 Message OK");
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully");
    });
    // A queue this long takes pages through its journal: Message.Dat has them once synced.
    core.queue().sync();
    EXPECT_EQ(queued().size(), MessageQueueFile::MaxMessageNumber + 1);
}

TEST_F(GatewayTest, FilesThatCannotBeWrittenLoseNoPageAndCountEveryQueuedOne)
{
    // A folder where the file should be: every write of it fails.
    ASSERT_TRUE(QDir(dir.path()).mkdir(MessageQueueFile::FileName));
    const auto transaction = [&](SnppClient& client) {
        client.command("PAGE ops");
        client.command("MESS m");
        return client.command("SEND");
    };
    runWhilePumping([&] {
        SnppClient client(m_port);
        client.line();
        EXPECT_EQ(transaction(client), "554 Message Failed: Queue Unavailable");
    });
    EXPECT_EQ(core.queuedCount(), 0);

    ASSERT_TRUE(QDir(dir.path()).rmdir(MessageQueueFile::FileName));
    // The refusal was logged for the operator.
    EXPECT_TRUE(dir.read(TransactionLog::FileName).contains("Message Not Queued From: 127.0.0.1"));
    ASSERT_TRUE(QFile::remove(dir.file(TransactionLog::FileName)));
    ASSERT_TRUE(QDir(dir.path()).mkdir(TransactionLog::FileName));
    runWhilePumping([&] {
        SnppClient client(m_port);
        client.line();
        EXPECT_EQ(transaction(client), "250 Message Sent Successfully");
    });
    // The pages are in the queue, so each is counted; the operator learns of the log.
    EXPECT_EQ(queued().size(), 3);
    EXPECT_EQ(core.queuedCount(), 3);
    EXPECT_TRUE(waitFor([&] { return prompts.shown().size() == 1; }));
}

TEST_F(GatewayTest, AnOversizedLineAndTheIdleLimitEndTheSessionWithAReplyThatArrives)
{
    runWhilePumping([&] {
        SnppClient flooder(m_port);
        EXPECT_EQ(flooder.line(), Greeting);
        // The client keeps sending: a line of 64 KiB + 1 and more behind it. The reply must
        // still reach it rather than be lost to a reset.
        flooder.send(QByteArray(SnppSession::MaxLine + 1, 'x') + QByteArray(300000, 'y'));
        bool closed = false;
        EXPECT_EQ(flooder.rest(&closed), SnppProtocol::lineTooLongReply());
        EXPECT_TRUE(closed);
        EXPECT_FALSE(flooder.wasReset()) << "the server closes in order after its reply";

        SnppClient longest(m_port);
        longest.line();
        EXPECT_EQ(longest.command("MESS " + QByteArray(SnppSession::MaxLine - 5, 'z')),
                  "250 Message OK")
            << "a line of exactly 64 KiB is taken";

        SnppClient silent(m_port);
        EXPECT_EQ(silent.line(), Greeting);
        EXPECT_EQ(silent.rest(&closed), SnppProtocol::timeoutReply());
        EXPECT_TRUE(closed);
    });
    EXPECT_TRUE(waitFor([&] { return server().sessionCount() == 0; }));
}

TEST_F(GatewayTest, TwentySessionsAtOnceAreEachServedWithoutWaitingForTheOthers)
{
    server().setTiming({});
    ASSERT_FALSE(server().listen(m_port));
    runWhilePumping([&] {
        std::vector<std::unique_ptr<SnppClient>> clients;
        for (int i = 0; i < 20; ++i) {
            // Four machines with five sessions each.
            const QByteArray from = "127.0.0." + QByteArray::number(10 + i / 5);
            clients.push_back(std::make_unique<SnppClient>(m_port, from.constData()));
            ASSERT_EQ(clients.back()->line(), Greeting) << i;
        }
        // The first is in the middle of a message body, the second in the middle of a line.
        EXPECT_EQ(clients[0]->command("PAGE alice"), "250 Pager ID Accepted");
        EXPECT_EQ(clients[0]->command("DATA"), "354 Begin Input; End with <CRLF>'.'<CRLF>");
        clients[0]->send("first line\r\n");
        clients[1]->send("PAGE bo");
        for (int i = 19; i >= 2; --i) {
            SnppClient& c = *clients[i];
            EXPECT_EQ(c.command("PAGE carol"), "250 Pager ID Accepted") << i;
            EXPECT_EQ(c.command("MESS from " + QByteArray::number(i)), "250 Message OK") << i;
            EXPECT_EQ(c.command("SEND"), "250 Message Sent Successfully") << i;
        }
        EXPECT_EQ(clients[1]->command("b"), "250 Pager ID Accepted");
        EXPECT_EQ(clients[0]->command("."), "250 Message OK");
        EXPECT_EQ(clients[0]->command("SEND"), "250 Message Sent Successfully");
        EXPECT_EQ(clients[1]->command("MESS last"), "250 Message OK");
        EXPECT_EQ(clients[1]->command("SEND"), "250 Message Sent Successfully");
    });
    EXPECT_EQ(queued().size(), 20);
    EXPECT_EQ(core.queuedCount(), 20);
}

TEST_F(GatewayTest, OneAddressHoldsAtMostEightSessions)
{
    runWhilePumping([&] {
        std::vector<std::unique_ptr<SnppClient>> clients;
        for (int i = 0; i < SnppServer::MaxPerAddress; ++i) {
            clients.push_back(std::make_unique<SnppClient>(m_port, "127.0.0.7"));
            ASSERT_EQ(clients.back()->line(), Greeting);
        }
        SnppClient ninth(m_port, "127.0.0.7");
        bool closed = false;
        EXPECT_EQ(ninth.rest(&closed), SnppProtocol::tooManySessionsReply());
        EXPECT_TRUE(closed);
        SnppClient other(m_port, "127.0.0.8");
        EXPECT_EQ(other.line(), Greeting);
        // A session that ends makes room for the next one from that address.
        clients.pop_back();
        bool admitted = false;
        for (int attempt = 0; attempt < 500 && !admitted; ++attempt)
            admitted = SnppClient(m_port, "127.0.0.7").line() == Greeting;
        EXPECT_TRUE(admitted);
    });
    EXPECT_TRUE(core.connectionLog().contains(
        QStringLiteral("SNPP Connection Refused From: 127.0.0.7 (Too Many Connections)")));
}

// The run removes only the entries it handled, so a page is taken while it delivers the queue:
// SEND is answered at once, and the page waits for the next check.
TEST_F(GatewayTest, SendDuringTheCheckIsQueuedAtOnce)
{
    core.setServerBusy(true);
    runWhilePumping([&] {
        SnppClient client(m_port);
        client.line();
        client.command("PAGE alice");
        client.command("MESS queued during the run");
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully");
    });
    EXPECT_EQ(queued().size(), 1);
    EXPECT_TRUE(core.connectionLog().filter(QStringLiteral("Refused")).isEmpty());
}

// The queue has no place yet for a time to hold a page until: a page held into the future is not
// taken, rather than paged at once; one whose time has come is queued as any other.
TEST_F(GatewayTest, APageHeldIntoTheFutureIsNotQueuedAndOneWhoseTimeHasComeIs)
{
    runWhilePumping([&] {
        SnppClient client(m_port);
        client.line();
        EXPECT_EQ(client.command("PAGE alice"), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("HOLD 9912311200 +0000"), "250 Delayed Messaging Selected");
        EXPECT_EQ(client.command("MESS later"), "250 Message OK");
        EXPECT_EQ(client.command("SEND"), "554 Message Failed: Delayed Messaging Not Supported");
        EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
        EXPECT_EQ(client.command("HOLD 0001011200"), "250 Delayed Messaging Selected");
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully");
    });
    EXPECT_EQ(queued(),
              QList<QByteArray>{"5551234/MSG1=*MSG*later*PIN*1001*USR*127.0.0.1*ID*alice"});
}

} // namespace
