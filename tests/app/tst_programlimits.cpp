#include "core/configfile.h"
#include "core/serverconfig.h"
#include "net/tsock.h"
#include "tests/support/freeport.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"
#include "tests/support/workstationclient.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

constexpr rlim_t DescriptorLimit = 40;

QByteArray block(const QByteArray& message)
{
    return QByteArray("MSG: " + message +
                      "\r\nPIN: 1234567\r\nID: Pat\r\nAN: 5551234\r\nLENGTH: 80\r\n"
                      "PARITY: 2\r\nDATA: 2\r\nSTOP: 0")
        .toBase64();
}

// The built program in a data folder of its own, started offscreen with few descriptors, as a
// host with a low limit (or a server holding many connections) would run it.
class ProgramUnderLimits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TServerConfig config = TServerConfig::defaults(m_dir.path());
        m_port = freeLoopbackPort();
        config.Port = m_port;
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_program.setWorkingDirectory(m_dir.path());
        m_program.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_program.setProcessEnvironment(environment);
        m_program.setChildProcessModifier([] {
            const rlimit limit{DescriptorLimit, DescriptorLimit};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
        m_program.start(QStringLiteral(ZELKOR_SERVER_BINARY), {});
        ASSERT_TRUE(m_program.waitForStarted());
        ASSERT_TRUE(waitUntilServing()) << output();
    }

    void TearDown() override
    {
        m_program.kill();
        m_program.waitForFinished();
    }

    bool waitUntilServing()
    {
        const QDeadlineTimer safety(60000);
        while (!safety.hasExpired() && running()) {
            WorkstationClient probe;
            if (probe.connectTo(port()) && probe.exchange("DONE", recieved(0)) == recieved(0))
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    bool running() { return m_program.state() == QProcess::Running; }
    std::string output() { return m_program.readAll().toStdString(); }
    quint16 port() const { return m_port.toUShort(); }
    // The HELO reply: this host's address, as the test process finds it.
    static QByteArray hello() { return "250 " + TSock::LocalAddress(); }
    static QByteArray recieved(int count)
    {
        return "250 Recieved " + QByteArray::number(count) + " Msg(s), Delivery in 5 Min.";
    }

    TempDataDir m_dir;
    ScriptedPrompts m_prompts;
    QProcess m_program;
    QByteArray m_port;
};

// Idle connections take every descriptor the program may have. It must neither abort nor answer
// with a made-up address; while descriptors are short a new client is closed at once instead
// of being served half, and once the connections close, pages are taken again.
TEST_F(ProgramUnderLimits, IdleConnectionsUpToTheDescriptorLimitNeitherStopNorStallTheServer)
{
    std::vector<std::unique_ptr<WorkstationClient>> idle;
    for (rlim_t i = 0; i < DescriptorLimit; ++i) {
        auto client = std::make_unique<WorkstationClient>();
        // Eight per address is the server's bound: spread them over addresses of their own.
        const QByteArray from = "127.0.0." + QByteArray::number(2 + i / 8);
        ASSERT_TRUE(client->connectTo(port(), from));
        idle.push_back(std::move(client));
    }
    // The last of them cannot have a descriptor to spare: it is closed at once and without a
    // word, instead of waiting unserved in the backlog.
    EXPECT_TRUE(idle.back()->closedByServer());

    // So is a whole submission tried while the idle connections hold the descriptors: it is
    // refused outright, never served with a made-up address or with no room left to queue.
    {
        WorkstationClient late;
        ASSERT_TRUE(late.connectTo(port(), "127.0.0.100"));
        late.send("HELO 127.0.0.100");
        EXPECT_EQ(late.readUntilClosed(), QByteArray());
    }
    ASSERT_TRUE(running()) << "the server stopped: " << output();

    idle.clear();
    ASSERT_TRUE(waitUntilServing()) << output();
    WorkstationClient client;
    ASSERT_TRUE(client.connectTo(port(), "127.0.0.101"));
    EXPECT_EQ(client.exchange("HELO 127.0.0.101", hello()), hello());
    EXPECT_EQ(client.exchange("DATA", "354 Begin Sending Message"), "354 Begin Sending Message");
    EXPECT_EQ(client.exchange(block("after"), "250 Message Accepted For Processing"),
              "250 Message Accepted For Processing");
    EXPECT_EQ(client.exchange("DONE", recieved(1)), recieved(1));
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat"))
                    .contains("=*MSG*after*PIN*1234567*USR*127.0.0.101*ID*Pat"));
    EXPECT_TRUE(running());
}

} // namespace
