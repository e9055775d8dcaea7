#include "tests/snpp/gatewayfixture.h"
#include "tests/snpp/printbytes.h"

#include "calls/callcontrol.h"
#include "paging/tomxpage.h"
#include "queue/messagequeuefile.h"
#include "runtime/nextcheckcountdown.h"
#include "tests/support/scriptedmodem.h"

#include <QDateTime>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <memory>

namespace {

// The real paging clients of Debian against the server, and the pages they hand in delivered
// through the scripted modem at the next check.
class PagingClientsTest : public GatewayFixture
{
protected:
    void SetUp() override
    {
        pacing.setScale(0.02);
        GatewayFixture::SetUp();
        ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
        ASSERT_TRUE(m_modem.linkAs(dir.path(), 1));
        TServerConfig config = core.config();
        config.ComPort = 0;
        config.ComPortSpeed = 6; // 9600
        config.FlowControl = 0;
        config.Port = "1"; // no error notices reach anybody
        core.setConfig(config);
        m_calls = std::make_unique<CallControl>(core, prompts);
        m_calls->engine().setPacing(pacing);
        m_countdown.setOnAutomaticRun([this] { m_calls->automaticRun(); });
        core.setNextCheck(1);
    }

    void TearDown() override
    {
        m_calls.reset();
        GatewayFixture::TearDown();
    }

    // Runs a client to its end while the server is served; its exit code, -1 when it did not
    // end normally within a minute.
    int run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        process.start(program, arguments);
        loop.exec();
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        m_output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit &&
                       process.error() != QProcess::FailedToStart
                   ? process.exitCode()
                   : -1;
    }

    int sendpage(const QStringList& arguments)
    {
        return run(QStringLiteral("sendpage"),
                   QStringList{QStringLiteral("-h"), QStringLiteral("127.0.0.1:%1").arg(m_port)} +
                       arguments);
    }

    // A tick of the one-second timer at a whole minute: the check is due.
    void minuteTick() { m_countdown.tick(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0))); }

    // Each delivered page as "PIN: message field".
    QList<QByteArray> delivered() const
    {
        QList<QByteArray> pages;
        for (const ScriptedModem::Block& block : m_modem.blocks())
            pages.append(block.pin + ": " + block.field);
        return pages;
    }

    ScriptedModem m_modem;
    std::unique_ptr<CallControl> m_calls;
    NextCheckCountdown m_countdown{core};
    QByteArray m_output;
};

TEST_F(PagingClientsTest, SendpageToAUserAGroupOfThreeAndAPinAtACompany)
{
    ASSERT_EQ(
        sendpage({QStringLiteral("-p"), QStringLiteral("alice"), QStringLiteral("disk full")}), 0)
        << m_output.data() << "(is hylafax-client installed? scripts/install-deps.sh)";
    // Asking to be told of the delivery sends SITE commands, which the gateway does not carry
    // out and says so: sendpage goes on without them.
    ASSERT_EQ(sendpage({QStringLiteral("-D"), QStringLiteral("-p"), QStringLiteral("ops"),
                        QStringLiteral("web down")}),
              0)
        << m_output.data();
    ASSERT_EQ(sendpage({QStringLiteral("-p"), QStringLiteral("4242@Metro Paging"),
                        QStringLiteral("call ops")}),
              0)
        << m_output.data();
    EXPECT_EQ(queued().size(), 5);
    EXPECT_EQ(core.queuedCount(), 5);
    EXPECT_TRUE(m_modem.blocks().isEmpty()) << "nothing is called before the check";

    minuteTick();

    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5551234"});
    EXPECT_EQ(delivered(), (QList<QByteArray>{"1001: disk full", "1001: web down", "1002: web down",
                                              "1003: web down", "4242: call ops"}));
    EXPECT_TRUE(queued().isEmpty());
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(PagingClientsTest, NetSnppWithTwoPagersAndAMessageBody)
{
    const QString script = QStringLiteral(R"(
        use Net::SNPP;
        my $snpp = Net::SNPP->new('127.0.0.1', Port => $ARGV[0]) or exit 2;
        $snpp->pager_id('bob') or exit 3;
        $snpp->pager_id('Carol') or exit 4;
        $snpp->data("web1: disk /var\n.99% full\n") or exit 5;
        $snpp->send() or exit 6;
        $snpp->quit;
        exit 0;)");
    ASSERT_EQ(run(QStringLiteral("perl"), {QStringLiteral("-e"), script, QString::number(m_port)}),
              0)
        << m_output.data() << "(is libnet-snpp-perl installed? scripts/install-deps.sh)";
    EXPECT_EQ(queued(),
              (QList<QByteArray>{
                  "5551234/MSG1=*MSG*web1: disk /var .99% full*PIN*1002*USR*127.0.0.1*ID*bob",
                  "5551234/MSG2=*MSG*web1: disk /var .99% full*PIN*1003*USR*127.0.0.1*ID*Carol"}));

    minuteTick();

    EXPECT_EQ(delivered(), (QList<QByteArray>{"1002: web1: disk /var .99% full",
                                              "1003: web1: disk /var .99% full"}));
    EXPECT_EQ(core.queuedCount(), 0);
}

// Metro Paging takes 80 characters a block: 949 would need far more than the twenty blocks the
// engine sends, and both clients learn it before anything is queued.
TEST_F(PagingClientsTest, A949CharacterTextAtLength80IsRefusedToBothClientsAndNothingIsQueued)
{
    QByteArray text;
    while (text.size() < 949)
        text += "Disk full on db7, ";
    text.truncate(949);
    EXPECT_NE(sendpage({QStringLiteral("-p"), QStringLiteral("alice"), QString::fromLatin1(text)}),
              0)
        << m_output.data();
    EXPECT_TRUE(m_output.contains("550")) << m_output.data();

    const QString script = QStringLiteral(R"(
        use Net::SNPP;
        my $snpp = Net::SNPP->new('127.0.0.1', Port => $ARGV[0]) or exit 2;
        $snpp->pager_id('bob') or exit 3;
        $snpp->content($ARGV[1]) and exit 4;
        print $snpp->code(), "\n";
        $snpp->data($ARGV[1]) and exit 5;
        print $snpp->code(), "\n";
        $snpp->quit;
        exit 0;)");
    ASSERT_EQ(run(QStringLiteral("perl"), {QStringLiteral("-e"), script, QString::number(m_port),
                                           QString::fromLatin1(text)}),
              0)
        << m_output.data();
    EXPECT_EQ(m_output, "550\n550\n");
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_EQ(core.queuedCount(), 0);
    const QStringList refusals = core.connectionLog().filter(QStringLiteral("Refused"));
    EXPECT_EQ(refusals.size(), 3) << core.connectionLog().join(u'\n').toStdString();
    EXPECT_TRUE(refusals.last().contains(QStringLiteral("To: bob (Message Too Long)")))
        << refusals.join(u'\n').toStdString();
}

} // namespace
