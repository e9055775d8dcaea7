#include "core/configfile.h"
#include "core/serverconfig.h"
#include "tests/support/freeport.h"
#include "tests/support/tempdatadir.h"
#include "tests/support/workstationclient.h"

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <poll.h>
#include <sys/socket.h>

namespace {

// What a workstation's conversation got back: each reply is what arrives before a pause.
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

// Every file of the folder with its bytes; a folder in it is named with a trailing "/".
QMap<QString, QByteArray> snapshot(const QString& path)
{
    QMap<QString, QByteArray> files;
    const QDir folder(path);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir()) {
            files.insert(entry.fileName() + QLatin1Char('/'), {});
            continue;
        }
        QFile file(entry.filePath());
        files.insert(entry.fileName(), file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return files;
}

// The names whose entries differ between two snapshots, for a failure a reader can act on.
QString changes(const QMap<QString, QByteArray>& before, const QMap<QString, QByteArray>& after)
{
    QStringList names;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            names << it.key() + QStringLiteral(" removed");
        else if (after.value(it.key()) != it.value())
            names << it.key() + QStringLiteral(" changed");
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            names << it.key() + QStringLiteral(" added");
    }
    return names.join(QStringLiteral(", "));
}

// One start of the built program on the test's data folder, without a display unless the test
// gives it one, with its working directory elsewhere.
class ServerRun final
{
public:
    ServerRun(const QString& dataDir, const QStringList& extra, bool desktop = false)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        QStringList arguments{QStringLiteral("--data-dir"), dataDir};
        if (desktop)
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        else
            arguments.prepend(QStringLiteral("--headless"));
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(QDir::tempPath());
        m_process.start(QStringLiteral(ZELKOR_SERVER_BINARY), arguments + extra);
    }
    ~ServerRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool waitFor(const std::function<bool()>& condition, int seconds = 60)
    {
        return QTest::qWaitFor(
            [&] {
                m_out += m_process.readAllStandardOutput();
                m_err += m_process.readAllStandardError();
                return condition();
            },
            seconds * 1000);
    }
    bool waitForOut(const QByteArray& text, int times = 1)
    {
        return waitFor([&] { return m_out.count(text) >= times; });
    }
    bool waitForErr(const QByteArray& text, int times = 1)
    {
        return waitFor([&] { return m_err.count(text) >= times; });
    }
    bool waitForExit()
    {
        return waitFor([&] { return m_process.state() == QProcess::NotRunning; });
    }
    void signal(int number) { ::kill(static_cast<pid_t>(m_process.processId()), number); }
    // SIGHUP, and what standard error got until the listener was back on `port` (or until
    // `errText` came, when given).
    // Sends SIGHUP and waits for the listener's new "Listening" line, or for `errText` on
    // standard error when one is given; with `andListening` for both (the two streams reach the
    // test through separate pipes, in either order).
    QByteArray reload(const QByteArray& port, const QByteArray& errText = {},
                      bool andListening = false)
    {
        const qsizetype errBefore = m_err.size();
        const qsizetype listened = m_out.count("Listening on port " + port);
        signal(SIGHUP);
        const bool done = waitFor([&] {
            const bool relistened = m_out.count("Listening on port " + port) > listened;
            if (errText.isEmpty())
                return relistened;
            return m_err.indexOf(errText, errBefore) >= 0 && (relistened || !andListening);
        });
        EXPECT_TRUE(done) << "no reload seen\n" << output();
        return m_err.mid(errBefore);
    }
    int exitCode() const { return m_process.exitCode(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    const QByteArray& out() const { return m_out; }
    const QByteArray& err() const { return m_err; }
    std::string output() const { return (m_out + "\n--- stderr ---\n" + m_err).toStdString(); }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

class DataFolderProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_port = freeLoopbackPort();
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        // No checks: nothing here dials.
        m_dir.write(ConfigFile::FileName, settings(m_port).toRecord());
    }

    TServerConfig settings(const QByteArray& port) const
    {
        TServerConfig config = TServerConfig::defaults(m_dir.path());
        config.Port = port;
        config.QueTime = 0;
        return config;
    }

    std::unique_ptr<ServerRun> start(const QStringList& extra = {})
    {
        auto run = std::make_unique<ServerRun>(m_dir.path(), extra);
        EXPECT_TRUE(run->waitForOut("Listening on port " + m_port)) << run->output();
        return run;
    }

    // A page for 5551234 handed in by a workstation; the server's reply to its block.
    QByteArray submit(const QByteArray& message)
    {
        WorkstationClient client;
        if (!client.connectTo(m_port.toUShort(), "127.0.0.2"))
            return "no connection";
        const QByteArray block = QByteArray("MSG: " + message +
                                            "\r\nPIN: 1234567\r\nID: Pat\r\nAN: 5551234\r\n"
                                            "LENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0")
                                     .toBase64();
        client.send("HELO 127.0.0.2");
        readReply(client.handle());
        client.send("DATA");
        readReply(client.handle());
        client.send(block);
        const QByteArray reply = readReply(client.handle());
        client.send("DONE");
        readReply(client.handle());
        return reply;
    }

    // The gateway's greeting on `port`, or nothing when none listens there.
    static QByteArray snppGreeting(const QByteArray& port)
    {
        WorkstationClient client;
        if (!client.connectTo(port.toUShort()))
            return {};
        return readReply(client.handle());
    }

    TempDataDir m_dir;
    QByteArray m_port;
};

constexpr char Accepted[] = "250 Message Accepted For Processing";

TEST_F(DataFolderProgram, SecondServerOnTheFolderEndsWithOneLineAndChangesNothing)
{
    const QByteArray snppPort = freeLoopbackPort();
    const auto first = start({QStringLiteral("--snpp-port"), QString::fromLatin1(snppPort)});
    ASSERT_TRUE(first->running()) << first->output();
    ASSERT_TRUE(submit("before").contains(Accepted));
    // What a rewrite of the first server might have in hand right now.
    m_dir.write(QStringLiteral("Message.Dat.Zq81Xw"), "[555]\r\nMSG2=in hand\r\n");
    const QMap<QString, QByteArray> before = snapshot(m_dir.path());
    ASSERT_TRUE(before.contains(QStringLiteral("zelkor-server.lock")));

    const struct
    {
        QStringList arguments;
        bool desktop;
    } seconds[] = {
        {{QStringLiteral("--snpp-port"), QStringLiteral("0")}, false},
        {{QStringLiteral("--snpp-port"), QString::fromLatin1(freeLoopbackPort())}, false},
        {{}, false},
        {{}, true},
    };
    for (const auto& second : seconds) {
        SCOPED_TRACE(second.arguments.join(QLatin1Char(' ')).toStdString() +
                     (second.desktop ? " (desktop)" : " (headless)"));
        ServerRun run(m_dir.path(), second.arguments, second.desktop);
        ASSERT_TRUE(run.waitForExit()) << run.output();
        EXPECT_EQ(run.exitCode(), 1) << run.output();
        EXPECT_EQ(run.err().count('\n'), 1) << run.output();
        EXPECT_TRUE(run.err().contains("another server")) << run.output();
        EXPECT_TRUE(run.err().contains(m_dir.path().toLocal8Bit())) << run.output();
        EXPECT_TRUE(run.out().isEmpty()) << run.output();
        EXPECT_EQ(changes(before, snapshot(m_dir.path())), QString());
    }

    // The first goes on as before: it takes pages, and a reload leaves its gateway on.
    EXPECT_TRUE(submit("after").contains(Accepted));
    first->signal(SIGHUP);
    ASSERT_TRUE(first->waitForOut("Listening on port " + m_port, 2)) << first->output();
    EXPECT_TRUE(snppGreeting(snppPort).startsWith("220 ")) << first->output();
    const QByteArray queue = m_dir.read(QStringLiteral("Message.Dat"));
    EXPECT_TRUE(queue.contains("before") && queue.contains("after")) << queue.constData();
}

TEST_F(DataFolderProgram, TemporariesOfRewritesCutShortAreRemovedAtStart)
{
    const QStringList stale{QStringLiteral("Message.Dat.a1B2c3"),
                            QStringLiteral("Server.Dat.ZZZZZZ"), QStringLiteral("Snpp.Dat.000000"),
                            QStringLiteral("allow.txt.QwErTy")};
    const QStringList kept{
        QStringLiteral("Server.Dat.bad"),     QStringLiteral("Message.Dat.a1B2c"),
        QStringLiteral("Message.Dat.a1-2c3"), QStringLiteral("sUser.Dat.a1B2c3"),
        QStringLiteral("Log.Dat.a1B2c3"),     QStringLiteral("message.dat.a1B2c3")};
    for (const QString& name : stale + kept)
        m_dir.write(name, "left over");
    const auto run = start();
    ASSERT_TRUE(run->running()) << run->output();
    for (const QString& name : stale)
        EXPECT_FALSE(m_dir.exists(name)) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_EQ(m_dir.read(name), "left over") << name.toStdString();
}

TEST_F(DataFolderProgram, MissingAllowTxtIsReportedAtStart)
{
    const auto present = start();
    EXPECT_FALSE(present->out().contains("Allow.txt not found")) << present->output();
    present->signal(SIGTERM);
    ASSERT_TRUE(present->waitForExit());

    ASSERT_TRUE(QFile::remove(m_dir.file(QStringLiteral("Allow.txt"))));
    const auto missing = start();
    EXPECT_TRUE(missing->out().contains("Connection: Allow.txt not found (" +
                                        m_dir.file(QStringLiteral("Allow.txt")).toLocal8Bit() +
                                        "): no access number is allowed until it lists some"))
        << missing->output();
}

// Each broken Server.Dat in turn, then a good one: only the good one is applied.
TEST_F(DataFolderProgram, ReloadKeepsTheRunningSettingsWhenServerDatIsBroken)
{
    const auto run = start();
    QRandomGenerator random(20261207);
    QByteArray noise(TServerConfig::RecordSize, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    const auto record = [&](const std::function<void(TServerConfig&, QByteArray&)>& damage) {
        TServerConfig config = settings(m_port);
        QByteArray bytes;
        damage(config, bytes);
        if (bytes.isEmpty())
            bytes = config.toRecord();
        return bytes;
    };
    const struct
    {
        const char* what;
        QByteArray bytes;
        const char* says;
    } broken[] = {
        {"random bytes", noise, "Invalid Settings In Configuration File: "},
        {"port 0", record([](TServerConfig& c, QByteArray&) { c.Port = "0"; }), "Port"},
        {"unknown service", record([](TServerConfig& c, QByteArray&) { c.Port = "no-such-svc"; }),
         "Port"},
        {"flag 7", record([](TServerConfig& c, QByteArray& b) {
             b = c.toRecord();
             b[5] = 7;
         }),
         "Logging"},
        {"string too long", record([](TServerConfig& c, QByteArray& b) {
             b = c.toRecord();
             b[237] = char(250);
         }),
         "IPDeny"},
        {"check interval", record([](TServerConfig& c, QByteArray&) { c.QueTime = -3; }),
         "QueTime"},
    };
    for (const auto& file : broken) {
        SCOPED_TRACE(file.what);
        m_dir.write(ConfigFile::FileName, file.bytes);
        const QByteArray said = run->reload(m_port, "Settings In Use Kept.", true);
        EXPECT_TRUE(said.contains("Invalid Settings In Configuration File: ")) << run->output();
        EXPECT_TRUE(said.contains(file.says)) << run->output();
        EXPECT_TRUE(said.contains("Settings In Use Kept.")) << run->output();
        EXPECT_EQ(m_dir.read(ConfigFile::FileName), file.bytes) << "the file is left as it is";
        EXPECT_TRUE(submit(file.what).contains(Accepted)) << run->output();
    }
    EXPECT_EQ(run->out().count("Server.Dat holds invalid settings"), std::size(broken));

    // A folder where the file should be cannot be read.
    ASSERT_TRUE(QFile::remove(m_dir.file(ConfigFile::FileName)));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(ConfigFile::FileName));
    EXPECT_TRUE(run->reload(m_port, "Cannot open file", true).contains("Cannot open file"))
        << run->output();
    EXPECT_TRUE(submit("folder").contains(Accepted)) << run->output();
    ASSERT_TRUE(QDir(m_dir.path()).rmdir(ConfigFile::FileName));

    // A good file is applied: the server moves to the port it names.
    const QByteArray moved = freeLoopbackPort();
    m_dir.write(ConfigFile::FileName, settings(moved).toRecord());
    EXPECT_FALSE(run->reload(moved).contains("Error")) << run->output();
}

TEST_F(DataFolderProgram, ReloadKeepsTheGatewayWhenSnppDatIsBroken)
{
    const QByteArray snppPort = freeLoopbackPort();
    const auto run = start({QStringLiteral("--snpp-port"), QString::fromLatin1(snppPort)});
    ASSERT_TRUE(snppGreeting(snppPort).startsWith("220 ")) << run->output();
    QByteArray noise(300, '\0');
    QRandomGenerator random(7);
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    const QByteArray broken[] = {noise, "[SNPP]\r\nEnabled=1\r\nPort=99999\r\n",
                                 "[SNPP]\r\nEnabled=yes\r\nPort=2444\r\n", ""};
    const QByteArray kept =
        "the SNPP gateway keeps the settings in use (on at port " + snppPort + ")";
    for (const QByteArray& bytes : broken) {
        SCOPED_TRACE(bytes.left(40).toStdString());
        m_dir.write(QStringLiteral("Snpp.Dat"), bytes);
        EXPECT_TRUE(run->reload(m_port, kept).contains(kept)) << run->output();
        EXPECT_TRUE(snppGreeting(snppPort).startsWith("220 ")) << run->output();
        EXPECT_EQ(m_dir.read(QStringLiteral("Snpp.Dat")), bytes);
    }
    ASSERT_TRUE(QFile::remove(m_dir.file(QStringLiteral("Snpp.Dat"))));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Snpp.Dat")));
    EXPECT_TRUE(run->reload(m_port, kept).contains("could not be read")) << run->output();
    EXPECT_TRUE(snppGreeting(snppPort).startsWith("220 ")) << run->output();
    ASSERT_TRUE(QDir(m_dir.path()).rmdir(QStringLiteral("Snpp.Dat")));

    // A good file is applied: no file at all means off.
    run->reload(m_port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return snppGreeting(snppPort).isEmpty(); }, 60000))
        << run->output();
}

TEST_F(DataFolderProgram, ReloadKeepsTheAllowListWhenAllowTxtCannotBeRead)
{
    const auto run = start();
    ASSERT_TRUE(QFile::remove(m_dir.file(QStringLiteral("Allow.txt"))));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Allow.txt")));
    const QByteArray said = run->reload(m_port, "the allow list in use is kept", true);
    EXPECT_TRUE(said.contains("Allow.txt could not be read")) << run->output();
    EXPECT_TRUE(said.contains("the allow list in use is kept (1 line(s))")) << run->output();
    EXPECT_TRUE(submit("still allowed").contains(Accepted)) << run->output();

    // No file is what the operator asked for: nothing is allowed, and the log says so.
    ASSERT_TRUE(QDir(m_dir.path()).rmdir(QStringLiteral("Allow.txt")));
    run->reload(m_port);
    EXPECT_TRUE(run->out().contains("no access number is allowed until it lists some"))
        << run->output();
    EXPECT_FALSE(submit("refused").contains(Accepted)) << run->output();
}

} // namespace
