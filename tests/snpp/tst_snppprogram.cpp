#include "core/configfile.h"
#include "core/serverconfig.h"
#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/freeport.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// The built program, started as an operator starts it, with the gateway switched on from the
// command line.
class SnppProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TServerConfig config = TServerConfig::defaults(m_dir.path());
        config.Port = freeLoopbackPort();
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"),
                    "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_program.setWorkingDirectory(m_dir.path());
        m_program.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_program.setProcessEnvironment(environment);
    }

    void TearDown() override
    {
        m_program.kill();
        m_program.waitForFinished();
    }

    TempDataDir m_dir;
    ScriptedPrompts m_prompts;
    QProcess m_program;
};

TEST_F(SnppProgramTest, SnppPortFromTheCommandLineTakesPagesIntoTheQueue)
{
    const QByteArray port = freeLoopbackPort();
    m_program.start(QStringLiteral(ZELKOR_SERVER_BINARY),
                    {QStringLiteral("--snpp-port"), QString::fromLatin1(port)});
    ASSERT_TRUE(m_program.waitForStarted());
    bool greeted = false;
    const QDeadlineTimer safety(60000);
    while (!greeted && !safety.hasExpired() && m_program.state() == QProcess::Running) {
        SnppClient probe(port.toUShort());
        greeted = probe.isOpen() && probe.line().startsWith("220 ");
        if (!greeted)
            QThread::msleep(100);
    }
    ASSERT_TRUE(greeted) << m_program.readAll().data();

    QProcess sendpage;
    sendpage.setProcessChannelMode(QProcess::MergedChannels);
    sendpage.start(QStringLiteral("sendpage"),
                   {QStringLiteral("-h"), QStringLiteral("127.0.0.1:") + QString::fromLatin1(port),
                    QStringLiteral("-p"), QStringLiteral("alice"), QStringLiteral("disk full")});
    ASSERT_TRUE(sendpage.waitForFinished(60000));
    EXPECT_EQ(sendpage.exitCode(), 0) << sendpage.readAll().data();
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat"))
                    .contains("MSG1=*MSG*disk full*PIN*1001*USR*127.0.0.1*ID*alice\r\n"));
    EXPECT_EQ(m_dir.read(QStringLiteral("Snpp.Dat")),
              "[SNPP]\r\nEnabled=1\r\nPort=" + port + "\r\n")
        << "the setting is kept";
}

TEST_F(SnppProgramTest, AWrongSnppPortEndsTheStartWithALine)
{
    m_program.start(QStringLiteral(ZELKOR_SERVER_BINARY),
                    {QStringLiteral("--snpp-port"), QStringLiteral("70000")});
    ASSERT_TRUE(m_program.waitForFinished(60000));
    EXPECT_EQ(m_program.exitCode(), 2);
    EXPECT_TRUE(m_program.readAll().contains("--snpp-port 70000: not a port number"));
    EXPECT_FALSE(m_dir.exists(QStringLiteral("Snpp.Dat")));
}

} // namespace
