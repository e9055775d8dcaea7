#include "core/configfile.h"
#include "core/serverconfig.h"
#include "foundation/tapsplit.h"
#include "queue/messagequeuefile.h"
#include "tests/support/freeport.h"
#include "tests/support/headlessprocess.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/smallfilesystem.h"
#include "tests/support/tempdatadir.h"
#include "tests/support/workstationclient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <poll.h>
#include <sys/socket.h>

namespace {

QByteArray block(const QByteArray& message, const QByteArray& from)
{
    return QByteArray("MSG: " + message + "\r\nPIN: 1234567\r\nID: " + from +
                      "\r\nAN: 5551234\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0")
        .toBase64();
}

QByteArray readReply(int fd)
{
    QByteArray reply;
    int waitMs = WorkstationClient::SafetyMs;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, waitMs) <= 0)
            return reply;
        char bytes[4096];
        const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
        if (n <= 0)
            return reply;
        reply.append(bytes, n);
        waitMs = 300;
    }
}

// The built program started with --headless the way a service manager starts it: no display
// in its environment, a data folder named on the command line, a working directory elsewhere.
// COM1 in the data folder is a pseudo-terminal with a scripted modem and paging terminal on
// its other end, answered from this test's event loop.
class HeadlessProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
        ASSERT_TRUE(m_modem.linkAs(m_dir.path(), 1));
        m_port = freeLoopbackPort();
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_data = m_dir.path();
    }

    // Server.Dat with COM1 at 9600 baud, the test's port and a check every `queTime` minutes
    // (0: none); the first check after a start comes at the program's next full minute.
    void writeSettings(qint32 queTime)
    {
        TServerConfig config = TServerConfig::defaults(m_data);
        config.Port = m_port;
        config.ComPort = 0;
        config.ComPortSpeed = 6;
        config.FlowControl = 0;
        config.QueTime = queTime;
        config.Logging = true;
        ASSERT_TRUE(ConfigFile::SaveConfig(m_data, config, m_prompts));
    }

    // Starts the program in a zone whose next full minute, and so its first check, comes about
    // `secondsToCheck` seconds later: time for the test to start it, queue its pages and send
    // its signals first, instead of waiting for the machine's own next minute. A check that
    // comes too early under load finds nothing due and the next minute's check does the work,
    // so a short margin can cost a minute, never a result.
    void start(int secondsToCheck = 10)
    {
        QProcessEnvironment zone;
        zone.insert(QStringLiteral("TZ"),
                    QString::fromLatin1(ShiftedZone::atSecond(60 - secondsToCheck).tz()));
        ASSERT_TRUE(m_program.start(m_data, {}, zone));
    }

    bool waitFor(const std::function<bool()>& condition, int seconds = 150)
    {
        return m_program.waitFor(condition, seconds);
    }
    bool waitForOutput(const QByteArray& text, int seconds = 150)
    {
        return m_program.waitForOutput(text, seconds);
    }
    bool waitForExit(int seconds = 150) { return m_program.waitForExit(seconds); }
    const QByteArray& out() { return m_program.out(); }
    const QByteArray& err() { return m_program.err(); }
    std::string output() { return m_program.output(); }
    void signal(int number) { m_program.signal(number); }
    QProcess& process() { return m_program.process(); }

    // A whole submission from `from`; the replies the server gave, one per line.
    QByteArray submit(const QList<QByteArray>& messages, const QByteArray& from = "127.0.0.2")
    {
        QByteArray replies;
        runWhilePumping([&] {
            WorkstationClient client;
            if (!client.connectTo(m_port.toUShort(), from))
                return;
            // Each reply is one write without a line end: what arrives before a pause.
            const auto line = [&](const QByteArray& command) {
                client.send(command);
                replies += readReply(client.handle()) + '\n';
            };
            line("HELO " + from);
            for (const QByteArray& message : messages) {
                line("DATA");
                line(block(message, "Pat"));
            }
            line("DONE");
        });
        return replies;
    }

    TempDataDir m_dir;
    // The program's data folder: m_dir unless a test puts it elsewhere.
    QString m_data;
    ScriptedModem m_modem;
    ScriptedPrompts m_prompts;
    HeadlessProcess m_program{QStringLiteral(ZELKOR_SERVER_BINARY)};
    QByteArray m_port;
};

TEST_F(HeadlessProgram, PageTakenOverTcpIsDeliveredThroughTheModemAtTheNextCheck)
{
    writeSettings(1);
    start();
    ASSERT_TRUE(waitForOutput("Connection: Listening on port " + m_port)) << output();

    const QByteArray replies = submit({"server room too hot"});
    EXPECT_TRUE(replies.contains("250 Message Accepted For Processing")) << replies.constData();

    ASSERT_TRUE(waitFor([&] { return !m_modem.blocks().isEmpty(); })) << output();
    EXPECT_EQ(m_modem.blocks().front().pin, "1234567");
    EXPECT_TRUE(m_modem.blocks().front().field.contains("server room too hot"));
    EXPECT_TRUE(m_modem.blocks().front().checksumValid);
    ASSERT_TRUE(waitForOutput("Call(s) Compleated")) << output();
    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5551234"});

    // Both live logs reach standard output, one line each with its time stamp and its log.
    for (const QByteArray& line : out().split('\n')) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "
                                                      "(Connection|Transmission): "))
                        .match(QString::fromUtf8(line))
                        .hasMatch())
            << line.constData();
    }
    EXPECT_TRUE(out().contains("Transmission: ")) << output();
    EXPECT_TRUE(out().contains("Sending Messages For: 5551234")) << output();
    EXPECT_FALSE(MessageQueueFile(m_dir.path() + QStringLiteral("/Message.Dat")).countMessages());

    signal(SIGTERM);
    ASSERT_TRUE(waitForExit()) << output();
    EXPECT_EQ(process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process().exitCode(), 0) << output();
}

TEST_F(HeadlessProgram, SighupReadsAllowTxtAgain)
{
    m_dir.write(QStringLiteral("Allow.txt"), "999\r\n");
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    EXPECT_FALSE(submit({"refused"}).contains("250 Message Accepted"));

    m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    signal(SIGHUP);
    ASSERT_TRUE(waitForOutput("Reloading Server.Dat and Allow.txt")) << output();
    ASSERT_TRUE(waitFor([&] { return out().count("Listening on port " + m_port) == 2; }))
        << output();
    const QByteArray replies = submit({"taken"});
    EXPECT_TRUE(replies.contains("250 Message Accepted For Processing")) << replies.constData();
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat")).contains("taken"));
    EXPECT_FALSE(m_dir.read(QStringLiteral("Message.Dat")).contains("refused"));
}

TEST_F(HeadlessProgram, SigtermDuringACallSendsTheMessageInHandHangsUpAndKeepsTheRest)
{
    // Both pages are queued before checks are switched on (a reload of Server.Dat), so the
    // call cannot start between them.
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    const QByteArray replies = submit({"first", "second"});
    ASSERT_EQ(replies.count("250 Message Accepted For Processing"), 2) << replies.constData();
    // The stop comes while the terminal holds the first block: its reply is held back until
    // the server has taken the signal.
    m_modem.queueBlockReplies({ScriptedModem::silence()});
    m_modem.setOnBlock([this](const ScriptedModem::Block&) {
        if (m_modem.blocks().size() == 1)
            signal(SIGTERM);
    });
    writeSettings(1);
    signal(SIGHUP);

    ASSERT_TRUE(waitForOutput("Stopping: the call in progress ends after its current message"))
        << output();
    ASSERT_EQ(m_modem.blocks().size(), 1) << output();
    m_modem.sendRaw(ScriptedModem::ack());
    ASSERT_TRUE(waitForExit()) << output();
    EXPECT_EQ(process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process().exitCode(), 0) << output();
    ASSERT_EQ(m_modem.blocks().size(), 1) << output();
    EXPECT_TRUE(m_modem.blocks().front().field.contains("first"));
    EXPECT_FALSE(m_modem.lineOpen());
    EXPECT_GE(m_modem.hangUps(), 1);
    EXPECT_TRUE(out().contains("Call(s) Compleated")) << output();
    // The message not yet sent stays for the next start.
    const QByteArray queue = m_dir.read(QStringLiteral("Message.Dat"));
    EXPECT_TRUE(queue.contains("second"));
    EXPECT_FALSE(queue.contains("first"));
}

// A page of twenty blocks takes the line twenty seconds and more (a second's pause per block).
// Meanwhile the server's own thread is free: a paging client's greeting comes at once, and a
// second SIGTERM hangs the line up mid-page instead of waiting for the page to end.
TEST_F(HeadlessProgram, ALongPageOnTheLineHoldsNeitherAGreetingNorASecondStop)
{
    QByteArray text;
    for (int word = 0; TapSplit::blocksNeeded("1234567", 80, text, false).value_or(0) < 20; ++word)
        text += "word" + QByteArray::number(word) + ' ';
    ASSERT_EQ(TapSplit::blocksNeeded("1234567", 80, text, false), 20);
    writeSettings(0);
    const QByteArray snppPort = freeLoopbackPort();
    QProcessEnvironment zone;
    zone.insert(QStringLiteral("TZ"), QString::fromLatin1(ShiftedZone::atSecond(50).tz()));
    ASSERT_TRUE(m_program.start(
        m_data, {QStringLiteral("--snpp-port"), QString::fromLatin1(snppPort)}, zone));
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    ASSERT_TRUE(submit({text}).contains("250 Message Accepted For Processing"));

    qint64 greetingMs = -1;
    QByteArray greeting;
    bool signalled = false;
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (m_modem.blocks().size() != 2)
            return;
        // The program is another process: this thread may wait for its answer.
        const auto asked = std::chrono::steady_clock::now();
        WorkstationClient client;
        if (client.connectTo(snppPort.toUShort()))
            greeting = client.read(3);
        greetingMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - asked)
                         .count();
        client.close();
        signalled = true;
        signal(SIGTERM);
    });
    writeSettings(1);
    signal(SIGHUP);

    ASSERT_TRUE(waitFor([&] { return signalled; })) << output();
    ASSERT_TRUE(waitForOutput("Stopping: the call in progress ends after its current message"))
        << output();
    signal(SIGTERM);
    ASSERT_TRUE(waitForOutput("Stopping now: the call in progress is hung up")) << output();
    ASSERT_TRUE(waitForExit()) << output();

    EXPECT_TRUE(greeting.startsWith("220")) << greeting.constData();
    // A loopback greeting from a server that is not busy; a call on its thread took 20 s.
    EXPECT_LT(greetingMs, 5000);
    EXPECT_LT(m_modem.blocks().size(), 20) << "the second stop waited for the page to end";
    EXPECT_FALSE(m_modem.lineOpen());
    EXPECT_EQ(process().exitCode(), 0) << output();
}

// The queue cannot be rewritten during a run: the data folder's file system fills up while the
// terminal holds the first of two pages. The run ends and says why, the program goes on taking
// pages, and once there is room the next check delivers what is left.
TEST_F(HeadlessProgram, FullDiskDuringARunEndsTheRunAndTheServerGoesOn)
{
    SmallFileSystem disk(512 * 1024);
    m_data = disk.path();
    ASSERT_TRUE(m_modem.linkAs(m_data, 1));
    ASSERT_TRUE(QFile::copy(m_dir.file(QStringLiteral("Allow.txt")),
                            disk.file(QStringLiteral("Allow.txt"))));
    const auto queue = [&] {
        QFile file(disk.file(QStringLiteral("Message.Dat")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    ASSERT_EQ(submit({"first", "second"}).count("250 Message Accepted For Processing"), 2);
    const auto program = static_cast<pid_t>(m_program.pid());
    m_modem.queueBlockReplies({ScriptedModem::silence()});
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (m_modem.blocks().size() == 1)
            disk.fill(program);
    });
    writeSettings(1);
    signal(SIGHUP);
    ASSERT_TRUE(waitFor([&] { return m_modem.blocks().size() == 1; })) << output();
    // The terminal takes the first page; the run cannot take it off the queue.
    m_modem.sendRaw(ScriptedModem::ack());
    // A program that the failure ends is not waited for.
    waitFor([&] {
        return out().contains("Queue Check Failed: ") || process().state() != QProcess::Running;
    });
    ASSERT_EQ(process().state(), QProcess::Running) << output();
    ASSERT_TRUE(out().contains("Queue Check Failed: ")) << output();
    EXPECT_TRUE(out().contains("Call(s) Compleated")) << output();
    // Whichever of the queue file and the page store beside it hit the full disk first is named.
    EXPECT_TRUE(err().contains("Unable to write to " + QFile::encodeName(disk.path())) ||
                err().contains("Page store " + QFile::encodeName(disk.path())))
        << output();
    EXPECT_EQ(m_modem.blocks().size(), 1) << "the run went on after its queue failed";
    EXPECT_FALSE(m_modem.lineOpen());
    EXPECT_TRUE(queue().contains("first") && queue().contains("second")) << queue().constData();

    // Still serving: on the full disk a page is refused; with room again it is taken.
    EXPECT_TRUE(submit({"third"}).contains("Queue Unavailable")) << output();
    disk.makeRoom(program);
    ASSERT_TRUE(submit({"third"}).contains("250 Message Accepted For Processing")) << output();
    ASSERT_TRUE(waitFor([&] { return out().count("Call(s) Compleated") == 2; })) << output();
    QList<QByteArray> delivered;
    for (const ScriptedModem::Block& block : m_modem.blocks())
        delivered.append(block.field);
    ASSERT_EQ(delivered.size(), 4) << output();
    // The page the terminal took before the failure was still queued: it goes out again.
    EXPECT_TRUE(delivered[1].contains("first"));
    EXPECT_TRUE(delivered[2].contains("second"));
    EXPECT_TRUE(delivered[3].contains("third"));
    EXPECT_EQ(MessageQueueFile(disk.file(QStringLiteral("Message.Dat"))).countMessages(), 0);
    signal(SIGTERM);
    ASSERT_TRUE(waitForExit()) << output();
    EXPECT_EQ(process().exitCode(), 0) << output();
}

TEST_F(HeadlessProgram, SigtermClosesAnOpenConversationAndExits)
{
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    WorkstationClient idle;
    ASSERT_TRUE(idle.connectTo(m_port.toUShort(), "127.0.0.3"));
    idle.send("HELO 127.0.0.3");
    ASSERT_TRUE(readReply(idle.handle()).startsWith("250 "));
    // The server is now inside the conversation, waiting for this client's next command (it
    // would wait a minute for it). The stop must not wait with it.
    signal(SIGTERM);
    ASSERT_TRUE(waitForExit(30)) << output();
    EXPECT_EQ(process().exitCode(), 0) << output();
    EXPECT_TRUE(idle.closedByServer());
}

// A host that connects and says nothing, accepted while a workstation's conversation waits:
// the workstation's next command is answered once the silent connection has been closed, not
// after the minute of the idle limit (which lies far beyond the client's 20-second safety limit).
TEST_F(HeadlessProgram, SilentConnectionHoldsAWorkstationOnlyUntilItIsClosed)
{
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    WorkstationClient workstation;
    ASSERT_TRUE(workstation.connectTo(m_port.toUShort(), "127.0.0.2"));
    workstation.send("HELO 127.0.0.2");
    ASSERT_TRUE(readReply(workstation.handle()).startsWith("250 "));
    WorkstationClient silent;
    ASSERT_TRUE(silent.connectTo(m_port.toUShort(), "127.0.0.3"));
    // Time for the program to accept it, inside the workstation's wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    workstation.send("DATA");
    EXPECT_EQ(readReply(workstation.handle()), "354 Begin Sending Message");
    workstation.send(block("machine room door open", "Pat"));
    EXPECT_EQ(readReply(workstation.handle()), "250 Message Accepted For Processing");
    EXPECT_TRUE(silent.closedByServer());
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat")).contains("machine room door open"));
}

// A block that reaches the program in two parts 200 ms apart (a segment sent again) is one
// block; a refused block is named in the Connection Log with its reason, and not in Log.Dat.
TEST_F(HeadlessProgram, SplitBlockIsOneBlockAndARefusedBlockIsLogged)
{
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    WorkstationClient c;
    ASSERT_TRUE(c.connectTo(m_port.toUShort(), "127.0.0.2"));
    c.send("HELO 127.0.0.2");
    ASSERT_TRUE(readReply(c.handle()).startsWith("250 "));
    const QByteArray split = block("sent in two parts", "Pat");
    c.send("DATA");
    EXPECT_EQ(readReply(c.handle()), "354 Begin Sending Message");
    c.send(split.left(41));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    c.send(split.mid(41));
    EXPECT_EQ(readReply(c.handle()), "250 Message Accepted For Processing");
    c.send("DATA");
    EXPECT_EQ(readReply(c.handle()), "354 Begin Sending Message");
    c.send(QByteArray("MSG: x\r\nPIN: 1\r\nAN: 6661234\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: "
                      "2\r\nSTOP: 0")
               .toBase64());
    EXPECT_EQ(readReply(c.handle()), "551 - (6661234) Provider Access Number Not Allowed");
    c.send("DONE");
    EXPECT_TRUE(readReply(c.handle()).startsWith("250 Recieved 1 Msg(s)"));
    ASSERT_TRUE(waitForOutput("Connection: Message Refused From: 127.0.0.2 (Provider Access "
                              "Number Not Allowed: 6661234)"))
        << output();
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat")).contains("sent in two parts"));
    const QByteArray log = m_dir.read(QStringLiteral("Log.Dat"));
    EXPECT_TRUE(log.contains("sent in two parts"));
    EXPECT_FALSE(log.contains("Refused"));
}

TEST_F(HeadlessProgram, PageAcceptedBeforeAKillIsDeliveredAfterTheRestart)
{
    // No checks in the first run: the page can only go out after the restart.
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    ASSERT_TRUE(submit({"survives the kill"}).contains("250 Message Accepted For Processing"));
    m_program.kill();
    ASSERT_FALSE(m_program.running());

    writeSettings(1);
    start();
    ASSERT_TRUE(waitForOutput("Connection: Queued messages kept from the last run: 1")) << output();
    ASSERT_TRUE(waitFor([&] { return !m_modem.blocks().isEmpty(); })) << output();
    EXPECT_TRUE(m_modem.blocks().front().field.contains("survives the kill"));
    ASSERT_TRUE(waitForOutput("Call(s) Compleated")) << output();
    EXPECT_EQ(MessageQueueFile(m_dir.path() + QStringLiteral("/Message.Dat")).countMessages(), 0);
}

// A queue kept from a killed run, and a check after an allow list change and SIGHUP: what the
// run dials is decided when it dials. A page queued while its number was allowed waits once the
// list no longer allows it, and a section added to the file by hand whose name carries modem
// commands is never dialled; both say why once per run and their pages stay, counted. A company
// whose section occurs three times, the first copy empty, gets every page on one call.
TEST_F(HeadlessProgram, AKeptQueueIsDialledOnlyWhereTheAllowListAllowsAtTheRun)
{
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    ASSERT_TRUE(submit({"queued while allowed"}).contains("250 Message Accepted For Processing"));
    m_program.kill();
    ASSERT_FALSE(m_program.running());

    const auto stored = [](const QByteArray& pin, const QByteArray& message) {
        return "*MSG*" + message + "*PIN*" + pin + "*USR*127.0.0.9*ID*Hand";
    };
    const QByteArray repeated =
        "[5559876]\r\n[5559876]\r\nLength=80\r\nMSG1=" + stored("7654321", "first copy") +
        "\r\nMSG2=" + stored("7654321", "first copy, second page") +
        "\r\n[5559876]\r\nMSG1=" + stored("7654321", "last copy") + "\r\n";
    m_dir.write(QStringLiteral("Message.Dat"),
                m_dir.read(QStringLiteral("Message.Dat")) + repeated);
    start();
    ASSERT_TRUE(waitForOutput("Connection: Queued messages kept from the last run: 4")) << output();
    // Added while the server runs: the counter knows nothing of it.
    const QByteArray handMade =
        "[19005550000;S0=1]\r\nLength=80\r\nMSG1=" + stored("4444444", "premium") +
        "\r\nMSG2=" + stored("5555555", "premium again") + "\r\n";
    m_dir.write(QStringLiteral("Message.Dat"),
                m_dir.read(QStringLiteral("Message.Dat")) + handMade);
    m_dir.write(QStringLiteral("Allow.txt"), "5559\r\n1900\r\n");
    writeSettings(1);
    signal(SIGHUP);

    ASSERT_TRUE(waitForOutput("Call(s) Compleated")) << output();
    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5559876"});
    for (const QByteArray& command : m_modem.commands())
        EXPECT_FALSE(command.contains("S0=1") || command.contains("5551234")) << command.data();
    ASSERT_EQ(m_modem.blocks().size(), 3) << output();
    EXPECT_TRUE(m_modem.blocks()[0].field.endsWith("first copy"));
    EXPECT_TRUE(m_modem.blocks()[1].field.endsWith("first copy, second page"));
    EXPECT_TRUE(m_modem.blocks()[2].field.endsWith("last copy"));

    const QByteArray notAllowed = "Not Dialled: 5551234 (Access Number Not Allowed)";
    const QByteArray invalid = "Not Dialled: 19005550000;S0=1 (Invalid Access Number)";
    EXPECT_EQ(out().count(notAllowed), 1) << output();
    EXPECT_EQ(out().count(invalid), 1) << output();
    const QByteArray log = m_dir.read(QStringLiteral("Log.Dat"));
    EXPECT_EQ(log.count(notAllowed), 1) << log.constData();
    EXPECT_EQ(log.count(invalid), 1) << log.constData();
    const QByteArray queue = m_dir.read(QStringLiteral("Message.Dat"));
    for (const char* page : {"queued while allowed", "*MSG*premium*", "premium again"})
        EXPECT_TRUE(queue.contains(page)) << page << "\n" << queue.constData();
    EXPECT_FALSE(queue.contains("copy")) << queue.constData();
    EXPECT_FALSE(queue.contains("[5559876]")) << queue.constData();

    signal(SIGTERM);
    ASSERT_TRUE(waitForExit()) << output();
    EXPECT_TRUE(out().contains("Stopped; 3 queued message(s) kept for the next start")) << output();
}

// A queue kept from a killed run: every page of a section far beyond the store's 8 KiB key
// list is counted, and kept again at the stop. (That a run delivers all of them is shown with
// the call processing tests' fast pauses: here 1,200 blocks would take 20 minutes.)
TEST_F(HeadlessProgram, AllOf1200KeptPagesAreCountedAtTheStartAndTheStop)
{
    QByteArray file = "[5551234]\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\n"
                      "StopBits=0\r\n";
    for (int n = 1; n <= 1200; ++n)
        file += "MSG" + QByteArray::number(n) + "=*MSG*page " + QByteArray::number(n) +
                "*PIN*1234567*USR*127.0.0.2*ID*Pat\r\n";
    m_dir.write(QStringLiteral("Message.Dat"), file);
    writeSettings(0);
    start();
    ASSERT_TRUE(waitForOutput("Listening on port " + m_port)) << output();
    EXPECT_TRUE(out().contains("Connection: Queued messages kept from the last run: 1200"))
        << output();
    signal(SIGTERM);
    ASSERT_TRUE(waitForExit()) << output();
    EXPECT_TRUE(out().contains("Stopped; 1200 queued message(s) kept for the next start"))
        << output();
    EXPECT_EQ(m_dir.read(QStringLiteral("Message.Dat")), file);
}

// Without Server.Dat the defaults are written, as the first start's OK writes them; they name
// the standard port, which another server on this machine may hold.
TEST_F(HeadlessProgram, MissingServerDatIsWrittenWithTheDefaults)
{
    start();
    ASSERT_TRUE(waitFor([&] {
        return out().contains("Listening on port") || process().state() == QProcess::NotRunning;
    })) << output();
    EXPECT_TRUE(out().contains("Server.Dat was missing: settings written to Server.Dat"))
        << output();
    EXPECT_EQ(m_dir.read(QStringLiteral("Server.Dat")),
              TServerConfig::defaults(m_dir.path()).toRecord());
    if (process().state() == QProcess::NotRunning) {
        EXPECT_TRUE(out().contains("Could not listen on port 5612")) << output();
    }
}

TEST_F(HeadlessProgram, DamagedServerDatIsKeptAsBadAndReplacedByTheDefaults)
{
    const QByteArray damaged = "truncated by a full disk";
    m_dir.write(QStringLiteral("Server.Dat"), damaged);
    start();
    ASSERT_TRUE(waitFor([&] {
        return out().contains("Listening on port") || process().state() == QProcess::NotRunning;
    })) << output();
    EXPECT_EQ(m_dir.read(QStringLiteral("Server.Dat.bad")), damaged);
    EXPECT_EQ(m_dir.read(QStringLiteral("Server.Dat")),
              TServerConfig::defaults(m_dir.path()).toRecord());
    EXPECT_TRUE(out().contains("Server.Dat was damaged (kept as Server.Dat.bad)")) << output();
    EXPECT_TRUE(err().contains("Corupted Configuration File!")) << output();
}

TEST(HeadlessCommandLine, HelpVersionAndMistakesNeedNoDisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    const auto run = [&](const QStringList& arguments) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(ZELKOR_SERVER_BINARY), arguments);
        program.waitForFinished(60000);
        return std::make_pair(program.exitCode(),
                              program.readAllStandardOutput() + program.readAllStandardError());
    };
    const auto help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.first, 0);
    for (const char* option :
         {"--headless", "--data-dir", "--snpp-port", "--http-port", "--version"})
        EXPECT_TRUE(help.second.contains(option)) << help.second.constData();
    const auto version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.first, 0);
    EXPECT_TRUE(version.second.startsWith("zelkor-server ")) << version.second.constData();
    const auto unknown = run({QStringLiteral("--headles")});
    EXPECT_EQ(unknown.first, 2);
    EXPECT_TRUE(unknown.second.contains("headles")) << unknown.second.constData();
    const auto stray = run({QStringLiteral("--headless"), QStringLiteral("extra")});
    EXPECT_EQ(stray.first, 2);

    // With a window system, Qt's own options are the desktop application's: it takes them
    // before the rest of the command line is read.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto qtOptions =
        run({QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-style"),
             QStringLiteral("fusion"), QStringLiteral("--version")});
    EXPECT_EQ(qtOptions.first, 0) << qtOptions.second.constData();
    EXPECT_TRUE(qtOptions.second.contains("zelkor-server ")) << qtOptions.second.constData();
    EXPECT_EQ(run({QStringLiteral("--bogus")}).first, 2);
}

} // namespace
