#include "core/configfile.h"
#include "core/serverconfig.h"
#include "snpp/snppsession.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/freeport.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"
#include "tests/support/workstationclient.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>

namespace {

const QByteArray Greeting = "220 Zelkor SNPP Gateway Ready";
const QByteArray ShuttingDown = "421 Server Shutting Down, Goodbye";

// What the paging clients of one test learnt: the messages whose SEND was answered "250", and
// every reply that was not what the client expected, with its client's name.
struct Outcome
{
    std::mutex lock;
    QSet<QByteArray> acknowledged;
    QList<QByteArray> surprises;

    void acknowledge(const QByteArray& message)
    {
        const std::lock_guard<std::mutex> hold(lock);
        acknowledged.insert(message);
    }
    void surprise(const QByteArray& what)
    {
        const std::lock_guard<std::mutex> hold(lock);
        surprises.append(what);
    }
};

// Hands in `batch` transactions with one write, "PAGE alice", "MESS <name>-<n>", "SEND" each,
// and reads their replies in order. False once a reply is not a "250": the session is over or
// the test failed, and `last` holds that reply.
bool transactions(SnppClient& client, const QByteArray& name, int& counter, int batch,
                  Outcome& outcome, QByteArray& last)
{
    QByteArray commands;
    QList<QByteArray> messages;
    for (int i = 0; i < batch; ++i) {
        messages.append(name + '-' + QByteArray::number(counter++));
        commands += "PAGE alice\r\nMESS " + messages.back() + "\r\nSEND\r\n";
    }
    client.send(commands);
    for (const QByteArray& message : messages) {
        // The SEND's reply names the page's id, which differs from page to page.
        for (const char* expected :
             {"250 Pager ID Accepted", "250 Message OK", "250 Message Sent Successfully (Ids "}) {
            last = client.line();
            if (!last.startsWith(expected))
                return false;
        }
        outcome.acknowledge(message);
    }
    return true;
}

// A whole submission of one page by a workstation: HELO, DATA, the block, DONE. The replies,
// one per line.
QByteArray submitFromWorkstation(quint16 port, const QByteArray& message)
{
    const auto reply = [](WorkstationClient& client) {
        // Each reply is one write without a line end: what arrives before a pause.
        QByteArray text = client.read(1);
        for (;;) {
            pollfd ready{client.handle(), POLLIN, 0};
            if (::poll(&ready, 1, 300) <= 0)
                return text;
            const QByteArray more = client.read(1);
            if (more.isEmpty())
                return text;
            text += more;
        }
    };
    WorkstationClient client;
    if (!client.connectTo(port, "127.0.0.3"))
        return "no connection";
    QByteArray replies;
    for (const QByteArray& command :
         {QByteArray("HELO 127.0.0.3"), QByteArray("DATA"),
          QByteArray("MSG: " + message +
                     "\r\nPIN: 1234567\r\nID: Pat\r\nAN: 5551234\r\nLENGTH: 80\r\nPARITY: 2"
                     "\r\nDATA: 2\r\nSTOP: 0")
              .toBase64(),
          QByteArray("DONE")}) {
        client.send(command);
        replies += reply(client) + '\n';
    }
    return replies;
}

// The program without a display, with the SNPP gateway switched on from its command line, a
// data folder of its own and no automatic checks, so the queue only grows. Its output goes to a
// file, so a program that logs a great deal never waits for this test to read it.
class SnppService : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TServerConfig config = TServerConfig::defaults(m_dir.path());
        config.Port = freeLoopbackPort();
        config.QueTime = 0;
        m_port = config.Port.toUShort();
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
        m_snppPort = freeLoopbackPort().toUShort();
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"),
                    "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    }

    void TearDown() override
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished();
        }
    }

    void start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        m_program.setProcessEnvironment(environment);
        m_program.setStandardOutputFile(m_logs.file(QStringLiteral("output")), QIODevice::Append);
        m_program.setStandardErrorFile(m_logs.file(QStringLiteral("output")), QIODevice::Append);
        m_program.start(QStringLiteral(ZELKOR_SERVER_BINARY),
                        {QStringLiteral("--headless"), QStringLiteral("--data-dir"), m_dir.path(),
                         QStringLiteral("--snpp-port"), QString::number(m_snppPort)});
        ASSERT_TRUE(m_program.waitForStarted());
        bool greeted = false;
        const QDeadlineTimer safety(60000);
        while (!greeted && !safety.hasExpired() && m_program.state() == QProcess::Running) {
            SnppClient probe(m_snppPort, "127.0.0.99");
            greeted = probe.isOpen() && probe.line() == Greeting;
            if (!greeted)
                QThread::msleep(50);
        }
        ASSERT_TRUE(greeted) << output();
    }

    void signal(int number) { ::kill(static_cast<pid_t>(m_program.processId()), number); }

    // Exit status 0 within a limit only a hang would exceed.
    void expectCleanExit()
    {
        ASSERT_TRUE(m_program.waitForFinished(60000)) << output();
        EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit) << output();
        EXPECT_EQ(m_program.exitCode(), 0) << output();
    }

    std::string output() const { return m_logs.read(QStringLiteral("output")).toStdString(); }

    // The messages of the queue file, as the clients named them.
    QSet<QByteArray> queuedMessages() const
    {
        QSet<QByteArray> messages;
        for (const QByteArray& line : m_dir.read(QStringLiteral("Message.Dat")).split('\n')) {
            const qsizetype from = line.indexOf("=*MSG*");
            const qsizetype to = line.indexOf("*PIN*");
            if (from >= 0 && to > from)
                messages.insert(line.mid(from + 6, to - from - 6));
        }
        return messages;
    }

    TempDataDir m_dir;
    TempDataDir m_logs;
    ScriptedPrompts m_prompts;
    QProcess m_program;
    quint16 m_port = 0;
    quint16 m_snppPort = 0;
};

void expectSameMessages(const QSet<QByteArray>& queued, const QSet<QByteArray>& acknowledged)
{
    for (const QByteArray& message : queued)
        EXPECT_TRUE(acknowledged.contains(message))
            << message.data() << " is queued, but its client never got its \"250\"";
    for (const QByteArray& message : acknowledged)
        EXPECT_TRUE(queued.contains(message)) << message.data() << " was acknowledged, not queued";
}

// SIGHUPs in quick succession while six clients hand in pages in batches: every session goes
// on through every reload, every SEND is answered "250", and the queue holds exactly the
// acknowledged pages.
TEST_F(SnppService, ReloadsDuringTrafficKeepEverySessionAndEveryReply)
{
    start();
    Outcome outcome;
    std::atomic<bool> storming{true};
    std::vector<std::thread> clients;
    for (int c = 0; c < 6; ++c) {
        clients.emplace_back([&, c] {
            const QByteArray name = "reload" + QByteArray::number(c);
            const QByteArray from = "127.0.0." + QByteArray::number(10 + c);
            SnppClient client(m_snppPort, from.constData());
            if (client.line() != Greeting)
                return outcome.surprise(name + ": no greeting");
            int counter = 0;
            QByteArray last;
            while (storming) {
                if (!transactions(client, name, counter, 4, outcome, last))
                    return outcome.surprise(name + ": \"" + last + "\" during the reloads");
            }
            if (client.command("QUIT") != "221 OK, Goodbye")
                outcome.surprise(name + ": no goodbye after the reloads");
        });
    }
    for (int i = 0; i < 25; ++i) {
        signal(SIGHUP);
        QThread::msleep(100);
    }
    storming = false;
    for (std::thread& client : clients)
        client.join();
    signal(SIGTERM);
    expectCleanExit();

    EXPECT_EQ(outcome.surprises, QList<QByteArray>{}) << output();
    EXPECT_FALSE(outcome.acknowledged.isEmpty());
    expectSameMessages(queuedMessages(), outcome.acknowledged);
}

// SIGTERM while six clients keep writing batches of transactions, three times over (the queue
// stays from one run to the next): each client gets the replies of what was handled, then
// "421" and an orderly close; the program exits 0, also with a client that never reads; and
// the queue holds exactly the pages whose SEND was answered "250".
TEST_F(SnppService, AStopEndsEachSessionWithItsRepliesThen421AndNoUnacknowledgedPage)
{
    Outcome outcome;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        start();
        // Replies pile up for this one; it does not read them and does not close.
        SnppClient deaf(m_snppPort, "127.0.0.30");
        QByteArray help;
        for (int i = 0; i < 4000; ++i)
            help += "HELP\r\n";
        deaf.send(help);

        std::atomic<int> batches{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < 6; ++c) {
            clients.emplace_back([&, c] {
                const QByteArray name =
                    "stop" + QByteArray::number(round) + '-' + QByteArray::number(c);
                const QByteArray from = "127.0.0." + QByteArray::number(10 + c);
                SnppClient client(m_snppPort, from.constData());
                if (client.line() != Greeting)
                    return outcome.surprise(name + ": no greeting");
                int counter = 0;
                QByteArray last;
                while (transactions(client, name, counter, 4, outcome, last))
                    ++batches;
                bool closed = false;
                const QByteArray rest = client.rest(&closed);
                if (last != ShuttingDown || !rest.isEmpty())
                    outcome.surprise(name + ": ended with \"" + last + "\", then \"" + rest + "\"");
                if (!closed || client.wasReset())
                    outcome.surprise(name + ": not closed in order");
            });
        }
        // Traffic first, then the stop (a safety limit only: the clients are not waited for
        // beyond it).
        const QDeadlineTimer safety(20000);
        while (batches < 12 && !safety.hasExpired())
            QThread::msleep(10);
        signal(SIGTERM);
        expectCleanExit();
        for (std::thread& client : clients)
            client.join();
    }
    EXPECT_EQ(outcome.surprises, QList<QByteArray>{}) << output();
    EXPECT_FALSE(outcome.acknowledged.isEmpty());
    expectSameMessages(queuedMessages(), outcome.acknowledged);
}

// A client has written far more commands than the server takes in while their replies wait,
// and reads its replies only after the stop: the program stays until the replies in hand and
// the "421" are all out, closes in order, and exits 0.
TEST_F(SnppService, AStopWaitsUntilTheRepliesInHandReachAClientThatIsStillReading)
{
    start();
    SnppClient late(m_snppPort, "127.0.0.31");
    ASSERT_EQ(late.line(), Greeting);
    // More than the sockets hold, so that the server holds back: its replies fill the socket
    // and wait in its own buffer.
    const QByteArray commands = QByteArray("HELP\r\n").repeated(4'000'000);
    ASSERT_LT(late.sendUntilHeldBack(commands, 2000), commands.size());
    signal(SIGTERM);

    bool closed = false;
    QByteArray replies = late.rest(&closed);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(late.wasReset());
    ASSERT_TRUE(replies.endsWith(ShuttingDown + "\r\n")) << replies.right(200).constData();
    replies.chop(ShuttingDown.size() + 2);
    const QByteArray help = "214 PAGE <Pager ID>: a shared user, a shared group or PIN@Company\r\n"
                            "214 MESS <Message> or DATA, then lines and a line holding '.'\r\n"
                            "214 SUBJ <Subject>, HOLD YYMMDDHHMM[SS] [+/-GMT difference], "
                            "CALLerid <ID>\r\n"
                            "214 RESE, SEND, QUIT, HELP, LOGI, LEVE\r\n"
                            "250 End of Help Information\r\n";
    ASSERT_GT(replies.size(), SnppSession::MaxPendingOutput);
    EXPECT_TRUE(replies == help.repeated(replies.size() / help.size()))
        << "the replies before the 421 are whole and in order";
    expectCleanExit();
}

// One client writes 60 KB of commands at once, each naming a group of 5,000 members: minutes of
// work even at a few milliseconds each. A second paging client and a workstation are each
// served in full meanwhile, every reply within the clients' safety limits, while the flood is
// being answered.
TEST_F(SnppService, AGroupOfFiveThousandDoesNotHoldUpOtherClientsOrWorkstations)
{
    constexpr int Members = 5000;
    QByteArray users = m_dir.read(QStringLiteral("sUser.Dat"));
    QByteArray group = "[all]\r\n";
    for (int i = 0; i < Members; ++i) {
        const QByteArray name = "user" + QByteArray::number(i);
        users += "[" + name + "]\r\nPIN=" + QByteArray::number(100000 + i) +
                 "\r\nPROVIDER=Metro Paging\r\n";
        group += "User" + QByteArray::number(i) + "=" + name + "\r\n";
    }
    m_dir.write(QStringLiteral("sUser.Dat"), users);
    m_dir.write(QStringLiteral("sGroup.Dat"), group);
    start();

    SnppClient flooder(m_snppPort, "127.0.0.40");
    ASSERT_EQ(flooder.line(), Greeting);
    QByteArray commands;
    while (commands.size() < 60000)
        commands += "PAGE all\r\n";
    ASSERT_TRUE(flooder.send(commands));

    SnppClient other(m_snppPort, "127.0.0.41");
    EXPECT_EQ(other.line(), Greeting);
    EXPECT_EQ(other.command("PAGE alice"), "250 Pager ID Accepted");
    EXPECT_EQ(other.command("MESS served meanwhile"), "250 Message OK");
    EXPECT_TRUE(other.command("SEND").startsWith("250 Message Sent Successfully (Ids "));
    const QByteArray replies = submitFromWorkstation(m_port, "from a workstation meanwhile");
    EXPECT_TRUE(replies.contains("\n354 Begin Sending Message\n250 Message Accepted For "
                                 "Processing\n250 Recieved 1 Msg(s)"))
        << replies.constData();

    EXPECT_EQ(flooder.line(), "552 Maximum Entries Exceeded") << "the flood is being answered";
    EXPECT_EQ(queuedMessages(),
              (QSet<QByteArray>{"served meanwhile", "from a workstation meanwhile"}));
}

} // namespace
