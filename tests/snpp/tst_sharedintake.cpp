#include "tests/snpp/gatewayfixture.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"

#include "calls/callcontrol.h"
#include "intake/keptqueue.h"
#include "intake/queuecommands.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppserver.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/workstationclient.h"
#include "workstation/conversationlimits.h"
#include "workstation/serverlistener.h"
#include "workstation/submissionhandler.h"

#include <memory>
#include <vector>

namespace {

const QByteArray Greeting = SnppProtocol::greeting().trimmed();

// Both front ends of one server, through real sockets: workstations on the server's listener
// and paging clients on the gateway, admitted by one admission and queued into one queue.
class SharedIntakeTest : public GatewayFixture
{
protected:
    void SetUp() override
    {
        pacing.setScale(0.05);
        GatewayFixture::SetUp();
        m_listener.setPacing(pacing);
        configure([&](TServerConfig& c) { c.Port = "0"; });
        m_listener.startListening();
        m_workstations = m_listener.Sock1().LocalPort();
        ASSERT_NE(m_workstations, 0);
    }

    void TearDown() override
    {
        m_listener.stopListening();
        GatewayFixture::TearDown();
    }

    // The worked example's block for one access number.
    static QByteArray block(const QByteArray& accessNumber)
    {
        return QByteArray("MSG: Call the front desk\r\nSIG: Reception\r\nPIN: 1234567\r\nID: "
                          "Pat\r\nAN: " +
                          accessNumber + "\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0")
            .toBase64();
    }

    QByteArray host() const { return TSock::LocalAddress(); }
    qint32 messagesInFile() const { return MessageQueueFile(core.queue().path()).countMessages(); }

    SubmissionHandler m_submissions{core, prompts};
    ServerListener m_listener{m_submissions, core, core, prompts};
    quint16 m_workstations = 0;
};

// Each front end keeps its own number of places per address and its own way of turning the
// surplus away; the counting is shared, and one front end's places are not the other's.
TEST_F(SharedIntakeTest, OneAddressHoldsItsPlacesOnEachFrontEndAndEachTurnsTheNextAwayItsOwnWay)
{
    pacing.setScale(1.0); // nothing here may end by running out of time
    runWhilePumping([&] {
        std::vector<std::unique_ptr<WorkstationClient>> workstations;
        for (int i = 0; i < ConversationLimits::MaxPerAddress; ++i) {
            workstations.push_back(std::make_unique<WorkstationClient>());
            ASSERT_TRUE(workstations.back()->connectTo(m_workstations, "127.0.0.9"));
            EXPECT_EQ(workstations.back()->exchange("HELO 127.0.0.9", "250 " + host()),
                      "250 " + host());
        }
        // The workstations' places taken do not take the gateway's.
        std::vector<std::unique_ptr<SnppClient>> pagers;
        for (int i = 0; i < SnppServer::MaxPerAddress; ++i) {
            pagers.push_back(std::make_unique<SnppClient>(m_port, "127.0.0.9"));
            ASSERT_EQ(pagers.back()->line(), Greeting) << "session " << i;
        }

        // One more on each: the workstation is closed without a word, the paging client
        // hears why.
        WorkstationClient ninthWorkstation;
        ASSERT_TRUE(ninthWorkstation.connectTo(m_workstations, "127.0.0.9"));
        EXPECT_TRUE(ninthWorkstation.closedByServer());
        SnppClient ninthPager(m_port, "127.0.0.9");
        bool closed = false;
        EXPECT_EQ(ninthPager.rest(&closed), SnppProtocol::tooManySessionsReply());
        EXPECT_TRUE(closed);

        // Another address is served on both.
        SnppClient otherPager(m_port, "127.0.0.10");
        EXPECT_EQ(otherPager.line(), Greeting);
        WorkstationClient otherWorkstation;
        ASSERT_TRUE(otherWorkstation.connectTo(m_workstations, "127.0.0.10"));
        const QByteArray done = "250 Recieved 0 Msg(s), Delivery in 0 Min.";
        EXPECT_EQ(otherWorkstation.exchange("DONE", done), done);

        // A place given back on one front end is a place again there.
        pagers.pop_back();
        bool admitted = false;
        for (int attempt = 0; attempt < 500 && !admitted; ++attempt)
            admitted = SnppClient(m_port, "127.0.0.9").line() == Greeting;
        EXPECT_TRUE(admitted);
        for (const std::unique_ptr<WorkstationClient>& workstation : workstations)
            workstation->close();
    });
    const QStringList& log = core.connectionLog();
    EXPECT_EQ(
        log.count(QStringLiteral("Connection Refused From: 127.0.0.9 (Too Many Connections)")), 1);
    // The retries above may have been turned away a few times before the place was free.
    EXPECT_GE(
        log.count(QStringLiteral("SNPP Connection Refused From: 127.0.0.9 (Too Many Connections)")),
        1);
}

// QueuedCount has one keeper, the queue: whatever a page came through, and whatever a run or
// the operator did to the file, the count is what the file holds and the status shows it.
TEST_F(SharedIntakeTest, TheCountFollowsTheFileThroughAKeptQueueBothFrontEndsARunAndAClear)
{
    QList<qint32> shown;
    QObject::connect(&core, &ServerState::queuedCountChanged,
                     [&](qint32 count) { shown.append(count); });
    const auto expectCount = [&](qint32 count, const char* after) {
        EXPECT_EQ(core.queuedCount(), count) << after;
        EXPECT_EQ(messagesInFile(), count) << after;
        ASSERT_FALSE(shown.isEmpty()) << after;
        EXPECT_EQ(shown.last(), count) << after;
    };

    // Two pages left by a run that was killed; the second company's number is not allowed.
    dir.write(MessageQueueFile::FileName,
              "[5551234]\r\nLength=80\r\nMSG1=" +
                  QueueEntry{"kept", "", "1001", "127.0.0.5", "A"}.format() +
                  "\r\n[7771234]\r\nLength=80\r\nMSG1=" +
                  QueueEntry{"held", "", "1004", "127.0.0.5", "D"}.format() + "\r\n");
    KeptQueue::takeOver(core);
    expectCount(2, "the kept queue");

    runWhilePumping([&] {
        WorkstationClient workstation;
        ASSERT_TRUE(workstation.connectTo(m_workstations));
        EXPECT_EQ(workstation.exchange("DATA", "354 Begin Sending Message"),
                  "354 Begin Sending Message");
        EXPECT_EQ(workstation.exchange(block("5551234567"), "250 Message Accepted For Processing"),
                  "250 Message Accepted For Processing");
        // Refused: nothing written, nothing counted.
        EXPECT_EQ(workstation.exchange("DATA", "354 Begin Sending Message"),
                  "354 Begin Sending Message");
        const QByteArray refused = "551 - (7771234) Provider Access Number Not Allowed";
        EXPECT_EQ(workstation.exchange(block("7771234"), refused), refused);
        workstation.close();

        SnppClient pager(m_port);
        EXPECT_EQ(pager.line(), Greeting);
        EXPECT_EQ(pager.command("PAGE ops"), "250 Pager ID Accepted");
        EXPECT_EQ(pager.command("MESS web down"), "250 Message OK");
        EXPECT_EQ(pager.command("SEND"), "250 Message Sent Successfully");
        EXPECT_EQ(pager.command("QUIT"), "221 OK, Goodbye");
    });
    expectCount(2 + 1 + 3, "a workstation's page and a page to a group of three");

    prompts.expectInput(QStringLiteral("Enter PIN To Send To:"), QStringLiteral("4242"));
    prompts.expectInput(QStringLiteral("Enter Paging Co. Access Number:"),
                        QStringLiteral("5559999"));
    ASSERT_TRUE(QueueCommands(core, prompts).sendTestMessage());
    expectCount(7, "the test message");

    // A run delivers all but the page whose number may not be dialled.
    ScriptedModem modem;
    ASSERT_TRUE(modem.isValid()) << "no pseudo-terminal for the modem";
    ASSERT_TRUE(modem.linkAs(dir.path(), 1));
    configure([&](TServerConfig& c) {
        c.ComPort = 0;
        c.ComPortSpeed = 6; // 9600
        c.FlowControl = 0;
    });
    pacing.setScale(0.02);
    CallControl calls(core, prompts);
    calls.engine().setPacing(pacing);
    calls.sendNow();
    EXPECT_EQ(modem.blocks().size(), 6);
    expectCount(1, "the run");

    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    ASSERT_TRUE(QueueCommands(core, prompts).clearMessageQueue());
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_EQ(shown.last(), 0);
    EXPECT_TRUE(prompts.scriptDone());
}

} // namespace
