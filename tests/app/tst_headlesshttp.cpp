#include "core/configfile.h"
#include "core/serverconfig.h"
#include "queue/messagequeuefile.h"
#include "tests/app/modemprogramconfig.h"
#include "tests/support/freeport.h"
#include "tests/support/headlessprocess.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {

const QByteArray Token = "s3cret-token";

// What curl got: its exit code, the status and the body.
struct Reply
{
    int exitCode = -1;
    int status = 0;
    QByteArray body;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// Runs a program to its end while this test's event loop goes on (the scripted modem answers
// from it); its exit code, -1 when it did not end within the safety limit.
int runProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted())
        return -1;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Debian's Alertmanager with a webhook receiver that pages `to` through the server, with the
// token, and sends the notification again every two seconds while the alert fires.
class Alertmanager final
{
public:
    Alertmanager(const QString& receiverUrl, const QByteArray& token)
    {
        m_port = QString::fromLatin1(freeLoopbackPort());
        QFile config(m_dir.filePath(QStringLiteral("alertmanager.yml")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write("route:\n  receiver: pager\n  group_by: [alertname]\n"
                     "  group_wait: 1s\n  group_interval: 1s\n  repeat_interval: 2s\n"
                     "receivers:\n- name: pager\n  webhook_configs:\n  - url: " +
                     receiverUrl.toUtf8() +
                     "\n    http_config:\n      authorization:\n        credentials: " + token +
                     "\n");
        config.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("prometheus-alertmanager"),
                        {QStringLiteral("--config.file=") + config.fileName(),
                         QStringLiteral("--storage.path=") + m_dir.path(),
                         QStringLiteral("--web.listen-address=127.0.0.1:") + m_port,
                         QStringLiteral("--cluster.listen-address=")});
    }

    ~Alertmanager()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:") + m_port + path;
    }
    QByteArray output() { return m_process.readAll(); }

    // Its own count of a webhook metric; -1 when it cannot be read.
    int metric(const QByteArray& name)
    {
        QByteArray metrics;
        if (runProgram(QStringLiteral("curl"),
                       {QStringLiteral("-s"), url(QStringLiteral("/metrics"))}, &metrics) != 0)
            return -1;
        const QByteArray prefix = name + "{integration=\"webhook\"} ";
        for (const QByteArray& line : metrics.split('\n')) {
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).toInt();
        }
        return -1;
    }

private:
    QTemporaryDir m_dir;
    QString m_port;
    QProcess m_process;
};

// The built program started headless with its HTTP front end switched on from the command line,
// pager IDs in the shared lists, and COM1 a scripted modem with a paging terminal; driven with
// curl and a real Alertmanager from outside.
class HeadlessHttp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
        ASSERT_TRUE(m_modem.linkAs(m_dir.path(), 1));
        m_port = freeLoopbackPort();
        m_httpPort = freeLoopbackPort();
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n"
                    "[Far Paging]\r\nAccess Number=4441234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"), "[Alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n"
                                                 "[Bob]\r\nPIN=1002\r\nPROVIDER=Metro Paging\r\n"
                                                 "[Dave]\r\nPIN=1004\r\nPROVIDER=Far Paging\r\n");
        m_dir.write(QStringLiteral("sGroup.Dat"), "[Ops]\r\nUser0=Alice\r\nUser1=Bob\r\n");
        // Off, with a token: the command line switches it on and keeps the token.
        m_dir.write(QStringLiteral("Http.Dat"), "[HTTP]\r\nEnabled=0\r\nToken=" + Token + "\r\n");
        TServerConfig config = modemProgramConfig(m_dir.path(), m_port);
        config.UserFile = "sUser.Dat";
        config.GroupFile = "sGroup.Dat";
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
    }

    // Starts the program in a zone whose next full minute, and so its first check, comes
    // `secondsToCheck` seconds later, so that a test queues its pages before that check
    // without waiting for the machine's own next minute.
    void start(int secondsToCheck = 25)
    {
        QProcessEnvironment zone;
        zone.insert(QStringLiteral("TZ"),
                    QString::fromLatin1(ShiftedZone::atSecond(60 - secondsToCheck).tz()));
        ASSERT_TRUE(m_program.start(
            m_dir.path(), {QStringLiteral("--http-port"), QString::fromLatin1(m_httpPort)}, zone));
    }

    bool waitFor(const std::function<bool()>& condition, int seconds = 150)
    {
        return m_program.waitFor(condition, seconds);
    }
    bool waitForOutput(const QByteArray& text) { return m_program.waitForOutput(text); }
    std::string output() { return m_program.output(); }
    void signal(int number) { m_program.signal(number); }

    QString url(const QString& path, const QByteArray& port = {}) const
    {
        return QStringLiteral("http://127.0.0.1:") +
               QString::fromLatin1(port.isEmpty() ? m_httpPort : port) + path;
    }

    // curl on `path` with the token unless `token` says another (empty: none).
    Reply curl(const QString& path, const QStringList& arguments = {},
               const std::optional<QByteArray>& token = Token, const QByteArray& port = {})
    {
        QStringList all{QStringLiteral("-s"),         QStringLiteral("-S"),
                        QStringLiteral("-w"),         QStringLiteral("\n%{http_code}"),
                        QStringLiteral("--max-time"), QStringLiteral("30")};
        if (token && !token->isEmpty())
            all << QStringLiteral("-H")
                << QStringLiteral("Authorization: Bearer ") + QString::fromLatin1(*token);
        all << arguments << url(path, port);
        QByteArray out;
        Reply reply;
        reply.exitCode = runProgram(QStringLiteral("curl"), all, &out);
        const qsizetype cut = out.lastIndexOf('\n');
        reply.status = out.mid(cut + 1).toInt();
        reply.body = out.left(cut);
        return reply;
    }
    Reply post(const QString& path, const QByteArray& json,
               const std::optional<QByteArray>& token = Token)
    {
        return curl(path,
                    {QStringLiteral("-H"), QStringLiteral("Content-Type: application/json"),
                     QStringLiteral("--data-binary"), QString::fromUtf8(json)},
                    token);
    }
    int messagesQueued() const
    {
        return MessageQueueFile(m_dir.path() + QStringLiteral("/Message.Dat")).countMessages();
    }
    QString stateOf(const QString& id)
    {
        return curl(QStringLiteral("/api/v1/pages/") + id)
            .json()
            .value(QStringLiteral("state"))
            .toString();
    }

    TempDataDir m_dir;
    ScriptedModem m_modem;
    ScriptedPrompts m_prompts;
    HeadlessProcess m_program{QStringLiteral(ZELKOR_SERVER_BINARY)};
    QByteArray m_port;
    QByteArray m_httpPort;
};

TEST_F(HeadlessHttp, CurlAndAlertmanagerPageAndThePagesAreDeliveredOnce)
{
    start();
    ASSERT_TRUE(waitForOutput("HTTP Listening on port " + m_httpPort)) << output();
    EXPECT_TRUE(m_dir.read(QStringLiteral("Http.Dat")).contains("Token=" + Token))
        << "the command line keeps the token";

    const QByteArray good = R"({"to": ["alice", "ops"], "message": "server room too hot"})";
    // Refused, each with nothing queued: no token, a wrong token, an unknown pager, a number
    // the allow list does not allow.
    EXPECT_EQ(post(QStringLiteral("/api/v1/pages"), good, QByteArray()).status, 401);
    EXPECT_EQ(post(QStringLiteral("/api/v1/pages"), good, QByteArray("wrong")).status, 401);
    const Reply unknown =
        post(QStringLiteral("/api/v1/pages"), R"({"to": ["alice", "nobody"], "message": "x"})");
    EXPECT_EQ(unknown.status, 422) << unknown.body.constData();
    EXPECT_TRUE(unknown.body.contains("nobody")) << unknown.body.constData();
    EXPECT_EQ(post(QStringLiteral("/api/v1/pages"), R"({"to": "dave", "message": "x"})").status,
              422);
    EXPECT_EQ(messagesQueued(), 0);
    EXPECT_EQ(curl(QStringLiteral("/healthz"), {}, QByteArray()).status, 200)
        << "the health check needs no token";

    const Reply taken = post(QStringLiteral("/api/v1/pages"), good);
    ASSERT_EQ(taken.status, 202) << taken.body.constData() << output();
    const QJsonArray pages = taken.json().value(QStringLiteral("pages")).toArray();
    ASSERT_EQ(pages.size(), 3) << taken.body.constData();
    EXPECT_EQ(messagesQueued(), 3) << "on the disk before the 202";
    const QString id = pages[0].toObject().value(QStringLiteral("id")).toString();
    EXPECT_EQ(stateOf(id), QStringLiteral("queued"));
    EXPECT_EQ(curl(QStringLiteral("/api/v1/pages/999999")).status, 404);

    // An alert through a real Alertmanager: one page for each member of ops, however often the
    // notification comes again, and the alert posted twice.
    Alertmanager manager(url(QStringLiteral("/api/v1/alertmanager/ops")), Token);
    ASSERT_TRUE(
        waitFor([&] { return manager.metric("alertmanager_notifications_total") >= 0; }, 30))
        << manager.output().constData();
    const QString alert = QStringLiteral(
        R"([{"labels": {"alertname": "DiskFull", "instance": "db1"},
             "annotations": {"summary": "disk /var full on db1"}}])");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(runProgram(QStringLiteral("curl"),
                             {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-H"),
                              QStringLiteral("Content-Type: application/json"),
                              QStringLiteral("--data-binary"), alert,
                              manager.url(QStringLiteral("/api/v2/alerts"))}),
                  0);
    }
    ASSERT_TRUE(
        waitFor([&] { return manager.metric("alertmanager_notifications_total") >= 3; }, 30))
        << manager.output().constData() << output();
    EXPECT_EQ(manager.metric("alertmanager_notifications_failed_total"), 0)
        << "each notification was answered 2xx";
    EXPECT_EQ(messagesQueued(), 5) << "the repeats were not queued again";

    ASSERT_TRUE(waitFor([&] { return m_modem.pins().size() >= 5; })) << output();
    ASSERT_TRUE(waitForOutput("Call(s) Compleated")) << output();
    QList<QByteArray> pins = m_modem.pins();
    std::sort(pins.begin(), pins.end());
    EXPECT_EQ(pins, (QList<QByteArray>{"1001", "1001", "1001", "1002", "1002"}));
    EXPECT_EQ(messagesQueued(), 0);
    EXPECT_EQ(stateOf(id), QStringLiteral("delivered"));
    const QByteArray metrics = curl(QStringLiteral("/metrics")).body;
    EXPECT_TRUE(metrics.contains("zelkor_pages_accepted_total{frontend=\"http\"} 3"))
        << metrics.constData();
    EXPECT_TRUE(metrics.contains("zelkor_pages_accepted_total{frontend=\"alertmanager\"} 2"))
        << metrics.constData();
    EXPECT_TRUE(metrics.contains("zelkor_pages_delivered_total 5")) << metrics.constData();
    EXPECT_TRUE(metrics.contains("zelkor_calls_total 1")) << metrics.constData();
    // The real server's counters as Prometheus' own linter reads them.
    QProcess promtool;
    promtool.setProcessChannelMode(QProcess::MergedChannels);
    promtool.start(QStringLiteral("promtool"),
                   {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(promtool.waitForStarted());
    promtool.write(metrics);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(30000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAll().constData() << metrics.constData();

    signal(SIGTERM);
    ASSERT_TRUE(waitFor([&] { return !m_program.running(); })) << output();
    EXPECT_EQ(m_program.process().exitCode(), 0) << output();
}

// SIGHUP with another port in Http.Dat: the old port is closed, the new one serves.
TEST_F(HeadlessHttp, SighupMovesTheListenerToThePortHttpDatNowNames)
{
    start();
    ASSERT_TRUE(waitForOutput("HTTP Listening on port " + m_httpPort)) << output();
    EXPECT_EQ(curl(QStringLiteral("/healthz")).status, 200);

    const QByteArray moved = freeLoopbackPort();
    m_dir.write(QStringLiteral("Http.Dat"),
                "[HTTP]\r\nEnabled=1\r\nPort=" + moved + "\r\nToken=" + Token + "\r\n");
    signal(SIGHUP);
    ASSERT_TRUE(waitForOutput("HTTP Listening on port " + moved)) << output();
    EXPECT_EQ(curl(QStringLiteral("/healthz"), {}, Token, moved).status, 200);
    EXPECT_EQ(curl(QStringLiteral("/healthz")).exitCode, 7) << "nothing listens on the old port";

    signal(SIGTERM);
    ASSERT_TRUE(waitFor([&] { return !m_program.running(); })) << output();
}

} // namespace
