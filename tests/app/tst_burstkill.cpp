#include "core/configfile.h"
#include "core/serverconfig.h"
#include "tests/app/modemprogramconfig.h"
#include "tests/app/queuestoresnapshot.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/freeport.h"
#include "tests/support/headlessprocess.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QHash>
#include <QSet>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int Clients = 20;
constexpr int Rounds = 3;

// The built program taking a burst of pages from SNPP clients as fast as they can send, killed
// with SIGKILL in the middle of it and started again over the same data folder: after each
// start Message.Dat holds every page whose "250" a client read, each exactly once, and the page
// store agrees with it. The check is far away, so no run takes pages out meanwhile. The
// parameter is the number of pages already queued: with none, the first pages are written
// straight into the short Message.Dat and later ones, past its size limit, through the journal;
// with a long queue every page goes through the journal.
class BurstKill : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"),
                    "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        // A long queue already there (a company unreachable for a while), so that pages go
        // through the journal from the first one on.
        if (GetParam() > 0) {
            QByteArray queue = "[5557777]\r\nPassword=\r\nLength=80\r\nParity=2\r\n"
                               "DataBits=2\r\nStopBits=0\r\n";
            for (int n = 1; n <= GetParam(); ++n)
                queue += "MSG" + QByteArray::number(n) + "=*MSG*waiting " + QByteArray::number(n) +
                         "*PIN*1001*USR*127.0.0.1*ID*alice\r\n";
            m_dir.write(QStringLiteral("Message.Dat"), queue);
        }
        TServerConfig config = modemProgramConfig(m_dir.path(), freeLoopbackPort());
        m_snppPort = freeLoopbackPort().toUShort();
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
    }

    void start()
    {
        QProcessEnvironment zone;
        // The first check about 55 seconds away.
        zone.insert(QStringLiteral("TZ"), QString::fromLatin1(ShiftedZone::atSecond(5).tz()));
        ASSERT_TRUE(m_program.start(
            m_dir.path(), {QStringLiteral("--snpp-port"), QString::number(m_snppPort)}, zone));
        ASSERT_TRUE(m_program.waitForOutput("SNPP Listening on port")) << m_program.output();
    }

    // Clients sending pages until the program is gone; each text once, acknowledged or not.
    void burst(int round, int killAfter)
    {
        std::atomic<bool> stop{false};
        std::vector<std::thread> clients;
        for (int c = 0; c < Clients; ++c) {
            clients.emplace_back([&, c] {
                SnppClient client(m_snppPort,
                                  ("127.0.3." + QByteArray::number(10 + c / 4)).constData());
                if (!client.line().startsWith("220"))
                    return;
                for (int p = 0; !stop; ++p) {
                    const QByteArray text = "r" + QByteArray::number(round) + "c" +
                                            QByteArray::number(c) + "p" + QByteArray::number(p);
                    if (!client.command("PAGE alice").startsWith("250") ||
                        !client.command("MESS " + text).startsWith("250"))
                        return;
                    if (client.command("SEND").startsWith("250")) {
                        const std::lock_guard<std::mutex> hold(m_lock);
                        m_acknowledged.insert(text);
                    } else {
                        return;
                    }
                }
            });
        }
        const auto acknowledged = [&] {
            const std::lock_guard<std::mutex> hold(m_lock);
            return static_cast<int>(m_acknowledged.size());
        };
        const int before = acknowledged();
        const bool reached =
            m_program.waitFor([&] { return acknowledged() >= before + killAfter; });
        m_program.kill();
        stop = true;
        for (std::thread& t : clients)
            t.join();
        ASSERT_TRUE(reached) << m_program.output();
        // Acknowledged pages the kill left outside Message.Dat: the start has to bring them in.
        QSet<QByteArray> inFile;
        const QueueStoreSnapshot atKill = QueueStoreSnapshot::read(m_dir.path());
        for (const QueueStoreSnapshot::Entry& entry : atKill.entries())
            inFile.insert(entry.text);
        const std::lock_guard<std::mutex> hold(m_lock);
        for (const QByteArray& text : m_acknowledged)
            m_outsideAtKill += inFile.contains(text) ? 0 : 1;
    }

    void expectEveryAcknowledgedPageOnce(const char* when)
    {
        const QueueStoreSnapshot snapshot = QueueStoreSnapshot::read(m_dir.path());
        ASSERT_TRUE(snapshot.error().isEmpty()) << snapshot.error().toStdString();
        QHash<QByteArray, int> entries;
        for (const QueueStoreSnapshot::Entry& entry : snapshot.entries())
            entries[entry.text]++;
        const std::lock_guard<std::mutex> hold(m_lock);
        for (const QByteArray& text : m_acknowledged)
            EXPECT_EQ(entries.value(text), 1) << when << ": " << text.data();
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            EXPECT_EQ(it.value(), 1) << when << ": " << it.key().data() << " queued twice";
        EXPECT_TRUE(snapshot.disagreements().isEmpty())
            << when << ":\n"
            << snapshot.disagreements().join(QLatin1Char('\n')).toStdString();
    }

    TempDataDir m_dir;
    ScriptedPrompts m_prompts;
    HeadlessProcess m_program{QStringLiteral(ZELKOR_SERVER_BINARY)};
    quint16 m_snppPort = 0;
    std::mutex m_lock;
    QSet<QByteArray> m_acknowledged;
    int m_outsideAtKill = 0;
};

TEST_P(BurstKill, EveryAcknowledgedPageIsQueuedOnceAfterAKillInTheMiddleOfABurst)
{
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        start();
        ASSERT_FALSE(HasFatalFailure());
        expectEveryAcknowledgedPageOnce("after the start");
        // A kill soon after the burst began, and kills deeper into it.
        burst(round, 20 + 60 * round);
        ASSERT_FALSE(HasFatalFailure());
    }
    start();
    ASSERT_FALSE(HasFatalFailure());
    expectEveryAcknowledgedPageOnce("after the last start");
    EXPECT_GE(m_acknowledged.size(), 20 + 80 + 140);
    // Behind a long queue some acknowledged pages are only in the journal when the kill comes.
    if (GetParam() > 0) {
        EXPECT_GT(m_outsideAtKill, 0) << "no kill found a page outside Message.Dat";
    }
    m_program.signal(SIGTERM);
    ASSERT_TRUE(m_program.waitForExit()) << m_program.output();
    expectEveryAcknowledgedPageOnce("after the stop");
    EXPECT_FALSE(m_dir.exists(QStringLiteral("Message.Jnl"))) << "a clean stop leaves no journal";
}

INSTANTIATE_TEST_SUITE_P(Queued, BurstKill, ::testing::Values(0, 400));

} // namespace
