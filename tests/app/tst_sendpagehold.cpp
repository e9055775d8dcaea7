#include "core/configfile.h"
#include "core/serverconfig.h"
#include "queue/messagequeuefile.h"
#include "tests/app/modemprogramconfig.h"
#include "tests/app/queuestoresnapshot.h"
#include "tests/support/freeport.h"
#include "tests/support/headlessprocess.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace {

// HylaFAX's sendpage with -a (SNPP HOLD) against the built program run headless with a check
// every minute. The program runs in a time zone that puts its first check a few seconds after
// its start, so the test waits about a minute and a quarter: the hold time has a resolution of
// a minute, and one check must come between the page and its time.
class SendpageHold : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
        ASSERT_TRUE(m_modem.linkAs(m_dir.path(), 1));
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n"
                    "[Harbour Paging]\r\nAccess Number=5559999\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"),
                    "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n"
                    "[bob]\r\nPIN=2002\r\nPROVIDER=Harbour Paging\r\n");
        TServerConfig config = modemProgramConfig(m_dir.path(), freeLoopbackPort());
        m_snppPort = freeLoopbackPort();
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
    }

    // sendpage run to its end; its exit code, -1 when it did not end. sendpage sends a hold
    // time as the figures of its UTC time with no GMT difference, which the program reads as its
    // own local time: run in UTC, sendpage is given the figures of the program's clock.
    int sendpage(const QStringList& arguments)
    {
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        client.setProcessEnvironment(environment);
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(QStringLiteral("sendpage"),
                     QStringList{QStringLiteral("-h"),
                                 QStringLiteral("127.0.0.1:") + QString::fromLatin1(m_snppPort)} +
                         arguments);
        if (!client.waitForFinished(60000))
            return -1;
        m_clientOutput = client.readAll();
        return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    }

    std::optional<QueueStoreSnapshot::Record> record(const QByteArray& text) const
    {
        const QueueStoreSnapshot store = QueueStoreSnapshot::read(m_dir.path());
        for (const QueueStoreSnapshot::Record& record : store.records())
            if (record.text == text)
                return record;
        return std::nullopt;
    }

    bool delivered(const QByteArray& text) const
    {
        for (const ScriptedModem::Block& block : m_modem.blocks())
            if (block.checksumValid && block.field.endsWith(text))
                return true;
        return false;
    }

    TempDataDir m_dir;
    ScriptedModem m_modem;
    ScriptedPrompts m_prompts;
    HeadlessProcess m_program{QStringLiteral(ZELKOR_SERVER_BINARY)};
    QByteArray m_snppPort;
    ShiftedZone m_zone;
    QByteArray m_clientOutput;
};

TEST_F(SendpageHold, AHeldPageWaitsThroughACheckBeforeItsTimeAndGoesAtTheFirstCheckAfter)
{
    m_zone = ShiftedZone::atSecond(50);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TZ"), QString::fromLatin1(m_zone.tz()));
    ASSERT_TRUE(m_program.start(m_dir.path(),
                                {QStringLiteral("--snpp-port"), QString::fromLatin1(m_snppPort)},
                                environment));
    ASSERT_TRUE(m_program.waitForOutput("SNPP Listening on port")) << m_program.output();

    // The hold time, a whole minute as sendpage gives it, with one check before it that comes
    // after both pages are in.
    const QDateTime now = m_zone.now();
    const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()), Qt::UTC);
    const QDateTime holdUntil = minute.addSecs(now.time().second() <= 54 ? 120 : 180);
    const QString at = holdUntil.toString(QStringLiteral("HH:mm"));
    ASSERT_EQ(sendpage({QStringLiteral("-a"), at, QStringLiteral("-p"), QStringLiteral("alice"),
                        QStringLiteral("held until later")}),
              0)
        << m_clientOutput.data();
    ASSERT_EQ(sendpage({QStringLiteral("-p"), QStringLiteral("bob"),
                        QStringLiteral("goes at the next check")}),
              0)
        << m_clientOutput.data();
    const auto held = record("held until later");
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->state, "held");
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat")).contains("held until later"));

    // The check before the time calls the other company only.
    ASSERT_TRUE(m_program.waitFor([&] {
        return delivered("goes at the next check") && !m_modem.lineOpen();
    })) << m_program.output();
    ASSERT_LT(m_zone.now(), holdUntil) << "the test came too late for a check before the time";
    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5559999"});
    EXPECT_FALSE(delivered("held until later"));
    EXPECT_EQ(record("held until later")->state, "held");
    EXPECT_TRUE(m_dir.read(QStringLiteral("Message.Dat")).contains("held until later"));

    // The first check at or after the time delivers it.
    ASSERT_TRUE(m_program.waitFor([&] { return delivered("held until later"); }))
        << m_program.output();
    EXPECT_GE(m_zone.now(), holdUntil);
    EXPECT_EQ(m_modem.dialled(), (QList<QByteArray>{"5559999", "5551234"}));
    ASSERT_TRUE(m_program.waitFor([&] {
        return MessageQueueFile(MessageQueueFile::pathIn(m_dir.path())).countMessages() == 0;
    })) << m_program.output();
    m_program.signal(SIGTERM);
    ASSERT_TRUE(m_program.waitForExit()) << m_program.output();
    EXPECT_EQ(record("held until later")->state, "delivered");
}

} // namespace
