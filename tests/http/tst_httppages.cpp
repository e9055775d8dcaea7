#include "tests/http/httpfixture.h"

#include "tests/support/loopbackclient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using HttpPagesTest = HttpFixture;

// /metrics as Prometheus reads it: promtool's linter accepts it, and the counters move as
// pages are accepted and delivered.
TEST_F(HttpPagesTest, PublishesMetricsThatPromtoolAccepts)
{
    server.m_metrics.acceptedWorkstation = 7;
    server.m_metrics.acceptedSnpp = 2;
    server.m_metrics.calls = 3;
    server.m_metrics.callsFailed = 1;
    server.m_metrics.lineSeconds = 41.5;
    server.m_metrics.lastCheck = QDateTime(QDate(2026, 12, 7), QTime(17, 40, 1), Qt::UTC);
    server.m_metrics.version = "1.0 \"test\"\\build";
    ASSERT_EQ(postJson(QStringLiteral("/api/v1/pages"), R"({"to": "ops", "message": "x"})").status,
              202);
    server.finish(server.queued()[0].id, HttpPageState::Delivered);

    const CurlReply metrics = curl(QStringLiteral("/metrics"));
    ASSERT_EQ(metrics.status, 200) << metrics.output.constData();
    const QByteArray& text = metrics.body;
    for (const char* sample :
         {"zelkor_pages_accepted_total{frontend=\"workstation\"} 7\n",
          "zelkor_pages_accepted_total{frontend=\"snpp\"} 2\n",
          "zelkor_pages_accepted_total{frontend=\"http\"} 2\n",
          "zelkor_pages_accepted_total{frontend=\"alertmanager\"} 0\n",
          "zelkor_pages_delivered_total 1\n", "zelkor_pages_failed_total 0\n",
          "zelkor_pages_expired_total 0\n", "zelkor_pages_queued 1\n", "zelkor_calls_total 3\n",
          "zelkor_calls_failed_total 1\n", "zelkor_line_seconds_total 41.5\n",
          "zelkor_last_check_timestamp_seconds 1796665201\n",
          "zelkor_build_info{version=\"1.0 \\\"test\\\"\\\\build\"} 1\n"}) {
        EXPECT_TRUE(text.contains(sample)) << sample << "\nin\n" << text.constData();
    }

    QByteArray lint;
    const int status =
        runProgram(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")},
                   &lint, text);
    EXPECT_EQ(status, 0) << lint.constData();
    EXPECT_TRUE(lint.trimmed().isEmpty()) << "promtool has remarks:\n" << lint.constData();
}

TEST_F(HttpPagesTest, ReportsHealthWithTheReason)
{
    const CurlReply ok = curl(QStringLiteral("/healthz"));
    EXPECT_EQ(ok.status, 200);
    server.m_problem = QByteArray("the data folder cannot be written");
    const CurlReply down = curl(QStringLiteral("/healthz"));
    EXPECT_EQ(down.status, 503);
    EXPECT_TRUE(down.body.contains("the data folder cannot be written")) << down.body.constData();
}

// The status page in a real browser: headless chromium renders it, its DOM shows the counts and
// a page's state and reason, and the screenshot is kept for a person to look at.
TEST_F(HttpPagesTest, ShowsTheServerInABrowser)
{
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(postJson(QStringLiteral("/api/v1/pages"),
                           R"({"to": ["alice", "ops"], "message": "disk full"})")
                      .status,
                  202);
    }
    server.finish(server.queued()[0].id, HttpPageState::Delivered);
    server.finish(server.queued()[1].id, HttpPageState::Failed, "Invalid ID Or Bad Link!");
    server.finish(server.queued()[2].id, HttpPageState::Failed, "bad <i>link</i>");
    server.m_call = HttpCallInProgress{"Metro", QDateTime::currentDateTime().addSecs(-20)};
    server.m_nextCheck = QDateTime::currentDateTime().addSecs(240);

    QTemporaryDir profile;
    ASSERT_TRUE(profile.isValid());
    const QStringList browser{QStringLiteral("--headless"),
                              QStringLiteral("--no-sandbox"),
                              QStringLiteral("--disable-gpu"),
                              QStringLiteral("--disable-background-networking"),
                              QStringLiteral("--disable-component-update"),
                              QStringLiteral("--disable-sync"),
                              QStringLiteral("--no-first-run"),
                              QStringLiteral("--user-data-dir=") + profile.path(),
                              QStringLiteral("--window-size=412,915")};

    QByteArray dom;
    ASSERT_EQ(
        runProgram(QStringLiteral("chromium"),
                   browser + QStringList{QStringLiteral("--dump-dom"), url(QStringLiteral("/"))},
                   &dom),
        0)
        << dom.right(2000).constData();
    EXPECT_TRUE(dom.contains("<span id=\"queued\">6</span>")) << dom.constData();
    EXPECT_TRUE(dom.contains("<span id=\"recent\">9</span>")) << dom.constData();
    EXPECT_TRUE(dom.contains("class=\"short state-failed\">failed</td><td class=\"reason\">Invalid "
                             "ID Or Bad Link!</td>"))
        << dom.constData();
    EXPECT_TRUE(dom.contains("class=\"short state-delivered\">delivered</td>")) << dom.constData();
    EXPECT_TRUE(dom.contains("Call in progress: <b>Metro</b>")) << dom.constData();
    EXPECT_TRUE(dom.contains(">bad &lt;i&gt;link&lt;/i&gt;</td>"))
        << "a reason is shown as text, never taken as markup";

    const QString shot = QStringLiteral(ZELKOR_TEST_OUTPUT_DIR "/status-page.png");
    QFile::remove(shot);
    QByteArray output;
    EXPECT_EQ(runProgram(QStringLiteral("chromium"),
                         browser + QStringList{QStringLiteral("--screenshot=") + shot,
                                               url(QStringLiteral("/"))},
                         &output),
              0)
        << output.right(2000).constData();
    EXPECT_GT(QFile(shot).size(), 5000) << "the screenshot at " << shot.toStdString();
}

} // namespace
