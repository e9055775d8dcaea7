#include "core/configfile.h"
#include "core/serverconfig.h"
#include "queue/messagequeuefile.h"
#include "tests/app/modemprogramconfig.h"
#include "tests/app/pagesenders.h"
#include "tests/app/queuestoresnapshot.h"
#include "tests/support/freeport.h"
#include "tests/support/headlessprocess.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <random>

namespace {

// One seed a round; each round ends with a kill -9, every third one during a run. Every page
// costs the run a second's pause before its block, so the rounds hand in few.
constexpr unsigned Seeds[] = {23, 1861, 4711, 97, 2026, 5612, 31337, 808, 12, 444, 65535, 7};

// The unique text of a page as the terminal received it.
QByteArray textOf(const ScriptedModem::Block& block)
{
    static const QRegularExpression text(QStringLiteral("(ws|sn)\\d\\d-\\d-\\d\\d\\d"));
    return text.match(QString::fromLatin1(block.field)).captured(0).toLatin1();
}

// The built program, killed with SIGKILL at random moments of its work and started again over
// the same data folder, with workstations and SNPP clients handing in pages and the scripted
// modem and terminal on a pseudo-terminal as COM1. The program counts its check interval at
// local second 0; each start is given a time zone that puts that moment where the round needs
// it, so a round waits seconds for its run instead of up to a minute.
class KillRecovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
        ASSERT_TRUE(m_modem.linkAs(m_dir.path(), 1));
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"),
                    "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        TServerConfig config = modemProgramConfig(m_dir.path(), freeLoopbackPort());
        m_port = config.Port.toUShort();
        m_snppPort = freeLoopbackPort().toUShort();
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
    }

    // Starts the program with its first check `secondsToCheck` seconds ahead, and waits for both
    // listeners.
    void start(int secondsToCheck)
    {
        QProcessEnvironment zone;
        zone.insert(QStringLiteral("TZ"),
                    QString::fromLatin1(ShiftedZone::atSecond(60 - secondsToCheck).tz()));
        m_startBlocks = m_modem.blocks().size();
        ASSERT_TRUE(m_program.start(
            m_dir.path(), {QStringLiteral("--snpp-port"), QString::number(m_snppPort)}, zone));
        ASSERT_TRUE(m_program.waitFor([&] {
            return m_program.out().contains("SNPP Listening on port") &&
                   m_program.out().contains("Listening on port " + QByteArray::number(m_port));
        })) << m_program.output();
    }

    // The kill, then the bytes the program wrote to the line before it died reach the terminal.
    void killNow()
    {
        if (m_program.out().contains("Sending Messages For"))
            ++m_killsDuringRuns;
        m_program.kill();
        m_program.waitFor([&] { return !m_modem.lineOpen(); }, 10);
        // The only page the terminal may see again: the last one it took in this start.
        if (m_modem.blocks().size() > m_startBlocks)
            m_inDoubt.insert(m_modem.blocks().size() - 1);
    }

    // After a start: the store agrees with the queue, and every page taken is still queued or
    // was delivered. Gives the number of queued pages.
    qsizetype expectAgreement(const char* when)
    {
        const qsizetype dialled = m_modem.dialled().size();
        const QueueStoreSnapshot snapshot = QueueStoreSnapshot::read(m_dir.path());
        if (m_modem.dialled().size() != dialled)
            return 0; // a run began while it was read: no moment of rest to compare
        ++m_agreementChecks;
        const QStringList disagreements = snapshot.disagreements();
        EXPECT_TRUE(disagreements.isEmpty()) << when << ":\n"
                                             << disagreements.join(QLatin1Char('\n')).toStdString();
        QSet<QByteArray> present = delivered();
        for (const QueueStoreSnapshot::Entry& entry : snapshot.entries())
            present.insert(entry.text);
        const std::lock_guard<std::mutex> hold(m_ledger.lock);
        for (auto page = m_ledger.acknowledged.cbegin(); page != m_ledger.acknowledged.cend();
             ++page)
            EXPECT_TRUE(present.contains(page.key())) << when << ": lost " << page.key().data();
        return snapshot.entries().size();
    }

    QSet<QByteArray> delivered() const
    {
        QSet<QByteArray> texts;
        for (const ScriptedModem::Block& block : m_modem.blocks())
            if (block.checksumValid)
                texts.insert(textOf(block));
        return texts;
    }

    void round(int number, unsigned seed);

    TempDataDir m_dir;
    ScriptedModem m_modem;
    ScriptedPrompts m_prompts;
    HeadlessProcess m_program{QStringLiteral(ZELKOR_SERVER_BINARY)};
    PageLedger m_ledger;
    quint16 m_port = 0;
    quint16 m_snppPort = 0;
    qsizetype m_startBlocks = 0;
    QSet<qsizetype> m_inDoubt; // indexes into m_modem.blocks()
    int m_agreementChecks = 0;
    int m_killsDuringRuns = 0;
};

void KillRecovery::round(int number, unsigned seed)
{
    std::mt19937 random(seed);
    // Every third round kills during a run; in the others the check is far away.
    const bool duringRun = number % 3 == 2;
    start(duringRun ? 3 : 50);
    if (HasFatalFailure())
        return;
    const qsizetype queued = expectAgreement("after the restart");
    PageSenders senders(m_ledger, m_port, m_snppPort);
    senders.start(number, seed, 1);
    if (!duringRun || queued == 0) {
        QTest::qWait(std::uniform_int_distribution<int>(100, 1200)(random));
        killNow();
        senders.stop();
        return;
    }
    // After the terminal has taken the k-th page of the run: either at once after its
    // acknowledgement, before the program can have read it, or a random moment later.
    const int k =
        std::uniform_int_distribution<int>(1, int(std::min<qsizetype>(queued, 3)))(random);
    const bool atOnce = number % 2 == 0;
    const int delay = std::uniform_int_distribution<int>(0, 900)(random);
    bool due = false;
    // Takes a timer still pending when the round ends with it.
    QObject roundScope;
    if (atOnce) {
        m_modem.queueBlockReplies(QList<QByteArray>(k - 1, ScriptedModem::ack()) +
                                  QList<QByteArray>{ScriptedModem::silence()});
    }
    m_modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (m_modem.blocks().size() - m_startBlocks != k)
            return;
        if (atOnce) {
            m_modem.sendRaw(ScriptedModem::ack());
            ::kill(static_cast<pid_t>(m_program.pid()), SIGKILL);
            due = true;
        } else {
            QTimer::singleShot(delay, &roundScope, [&] { due = true; });
        }
    });
    const bool ended = m_program.waitFor([&] { return due || !m_program.running(); });
    m_modem.setOnBlock({});
    ASSERT_TRUE(ended) << m_program.output();
    killNow();
    senders.stop();
}

TEST_F(KillRecovery, NoPageTakenIsLostOrSentTwiceExceptTheOneInHandAtAKill)
{
    int number = 0;
    for (const unsigned seed : Seeds) {
        SCOPED_TRACE(::testing::Message() << "round " << number << ", seed " << seed);
        round(number++, seed);
        if (HasFatalFailure())
            return;
    }
    // The last start delivers whatever is left.
    start(3);
    ASSERT_FALSE(HasFatalFailure());
    expectAgreement("after the last restart");
    ASSERT_TRUE(m_program.waitFor([&] {
        return MessageQueueFile(MessageQueueFile::pathIn(m_dir.path())).countMessages() == 0;
    })) << m_program.output();
    m_program.signal(SIGTERM);
    ASSERT_TRUE(m_program.waitForExit()) << m_program.output();

    // Every page taken reached the terminal; a page reached it twice only when it was the one
    // in hand at a kill, and then only once more.
    QHash<QByteArray, QList<qsizetype>> deliveries;
    for (qsizetype i = 0; i < m_modem.blocks().size(); ++i)
        if (m_modem.blocks()[i].checksumValid)
            deliveries[textOf(m_modem.blocks()[i])].append(i);
    const QSet<QByteArray> unanswered = m_ledger.unanswered();
    int twice = 0;
    int unacknowledged = 0;
    for (auto page = deliveries.cbegin(); page != deliveries.cend(); ++page) {
        ASSERT_FALSE(page.key().isEmpty()) << "a block without a page text";
        EXPECT_LE(page.value().size(), 2) << page.key().data();
        if (page.value().size() == 2) {
            ++twice;
            EXPECT_TRUE(m_inDoubt.contains(page.value().front()))
                << page.key().data() << " went out twice, not the page in hand at a kill";
        }
        EXPECT_FALSE(m_ledger.refused.contains(page.key())) << page.key().data();
        if (!m_ledger.acknowledged.contains(page.key())) {
            ++unacknowledged;
            EXPECT_TRUE(unanswered.contains(page.key()))
                << page.key().data() << " delivered, never handed over";
        }
    }
    for (auto page = m_ledger.acknowledged.cbegin(); page != m_ledger.acknowledged.cend(); ++page)
        EXPECT_TRUE(deliveries.contains(page.key())) << "lost: " << page.key().data();

    // The store: one record a page, delivered, under the id its SNPP reply named; no id twice.
    const QueueStoreSnapshot store = QueueStoreSnapshot::read(m_dir.path());
    EXPECT_TRUE(store.disagreements().isEmpty())
        << store.disagreements().join(QLatin1Char('\n')).toStdString();
    QHash<QByteArray, qint64> idOf;
    for (const QueueStoreSnapshot::Record& record : store.records()) {
        EXPECT_FALSE(idOf.contains(record.text)) << "two records of " << record.text.data();
        idOf.insert(record.text, record.id);
        EXPECT_EQ(record.state, "delivered") << record.text.data();
    }
    QSet<qint64> replied;
    for (auto page = m_ledger.acknowledged.cbegin(); page != m_ledger.acknowledged.cend(); ++page) {
        EXPECT_TRUE(idOf.contains(page.key())) << "no record of " << page.key().data();
        if (page.value() == 0)
            continue;
        EXPECT_FALSE(replied.contains(page.value())) << "id " << page.value() << " given twice";
        replied.insert(page.value());
        EXPECT_EQ(idOf.value(page.key()), page.value()) << page.key().data();
    }

    std::cout << "kills: " << std::size(Seeds) << " (" << m_killsDuringRuns
              << " during a run), pages taken: " << m_ledger.acknowledged.size()
              << ", delivered twice: " << twice
              << ", delivered without their 250: " << unacknowledged
              << ", store and queue compared: " << m_agreementChecks << " times" << std::endl;
    EXPECT_LE(twice, m_killsDuringRuns);
    EXPECT_LE(m_killsDuringRuns, static_cast<int>(std::size(Seeds)));
    EXPECT_GE(m_agreementChecks, static_cast<int>(std::size(Seeds)) / 2);
}

} // namespace
