#include "tests/http/httpfixture.h"

#include "tests/support/freeport.h"
#include "tests/support/loopbackclient.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// A real Alertmanager of Debian with a webhook receiver pointed at the front end: no cluster,
// so that two of them each send the notification, as the members of a cluster do when their
// gossip lags.
class Alertmanager final
{
public:
    explicit Alertmanager(const QString& receiverUrl)
    {
        m_port = QString::fromLatin1(freeLoopbackPort());
        QFile config(m_dir.filePath(QStringLiteral("alertmanager.yml")));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write("route:\n  receiver: pager\n  group_by: [alertname]\n"
                     "  group_wait: 0s\n  group_interval: 1s\n  repeat_interval: 1h\n"
                     "receivers:\n- name: pager\n  webhook_configs:\n  - url: " +
                     receiverUrl.toUtf8() + "\n    send_resolved: true\n");
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

private:
    QTemporaryDir m_dir;
    QString m_port;
    QProcess m_process;
};

using AlertmanagerTest = HttpFixture;

// Runs curl against another server; the body, nothing when curl failed.
std::optional<QByteArray> fetch(const QStringList& arguments)
{
    QByteArray output;
    const int status = HttpFixture::runProgram(
        QStringLiteral("curl"), QStringList{QStringLiteral("-s"), QStringLiteral("-f")} + arguments,
        &output);
    if (status != 0)
        return std::nullopt;
    return output;
}

// How many notifications an Alertmanager's webhook sent, by its own count.
int notificationsSent(const Alertmanager& manager)
{
    const QByteArray metrics = fetch({manager.url(QStringLiteral("/metrics"))}).value_or("");
    for (const QByteArray& line : metrics.split('\n')) {
        if (line.startsWith("alertmanager_notifications_total{integration=\"webhook\"}"))
            return line.mid(line.lastIndexOf(' ') + 1).toInt();
    }
    return 0;
}

TEST_F(AlertmanagerTest, PagesOnceForTheSameNotificationFromTwoAlertmanagers)
{
    const QString receiver = url(QStringLiteral("/api/v1/alertmanager/ops"));
    Alertmanager first(receiver);
    Alertmanager second(receiver);
    for (Alertmanager* manager : {&first, &second}) {
        ASSERT_TRUE(waitFor(
            [&] { return fetch({manager->url(QStringLiteral("/-/ready"))}).has_value(); }, 30))
            << manager->output().constData();
    }

    const QByteArray alert =
        R"([{"labels": {"alertname": "DiskFull", "instance": "db1"},
             "annotations": {"summary": "disk /var full on db1"}}])";
    for (Alertmanager* manager : {&first, &second}) {
        EXPECT_TRUE(fetch({QStringLiteral("-X"), QStringLiteral("POST"), QStringLiteral("-H"),
                           QStringLiteral("Content-Type: application/json"),
                           QStringLiteral("--data-binary"), QString::fromUtf8(alert),
                           manager->url(QStringLiteral("/api/v2/alerts"))})
                        .has_value());
    }
    ASSERT_TRUE(waitFor(
        [&] { return notificationsSent(first) >= 1 && notificationsSent(second) >= 1; }, 30))
        << first.output().constData() << second.output().constData();

    ASSERT_EQ(server.requests().size(), 1) << "the second notification is the first one again";
    EXPECT_EQ(server.requests()[0].message, "[FIRING:1] DiskFull: disk /var full on db1");
    EXPECT_EQ(server.requests()[0].pagerIds, QList<QByteArray>{"ops"});
    EXPECT_EQ(server.queued().size(), 2) << "one page for each member of ops";
    for (const Alertmanager* manager : {&first, &second}) {
        EXPECT_TRUE(
            fetch({manager->url(QStringLiteral("/metrics"))})
                .value_or("")
                .contains("alertmanager_notifications_failed_total{integration=\"webhook\"} 0"))
            << "both were answered 2xx";
    }
}

} // namespace
