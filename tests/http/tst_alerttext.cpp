#include "http/alerttext.h"

#include "paging/tapblockbuilder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// Whether the paging engine sends `text` whole to `pin` at `length`: it builds at most 20
// blocks and drops what does not fit, so the text went out whole only when its last block
// is not a continued one.
bool goesOutWhole(const QByteArray& pin, int length, const QByteArray& text)
{
    TapBlockBuilder builder(pin, length, false);
    if (!builder.build(TapBlockBuilder::escape(text)))
        return false;
    return !builder.blocks().isEmpty() && !builder.blocks().last().contains("(CONT.)");
}

QJsonObject alert(const QString& name, const QString& summary, const QString& fingerprint,
                  const QString& annotation = QStringLiteral("summary"))
{
    return QJsonObject{{QStringLiteral("status"), QStringLiteral("firing")},
                       {QStringLiteral("labels"), QJsonObject{{QStringLiteral("alertname"), name}}},
                       {QStringLiteral("annotations"), QJsonObject{{annotation, summary}}},
                       {QStringLiteral("fingerprint"), fingerprint}};
}

QJsonObject notification(const QJsonArray& alerts, const QJsonObject& common = {})
{
    return QJsonObject{{QStringLiteral("version"), QStringLiteral("4")},
                       {QStringLiteral("status"), QStringLiteral("firing")},
                       {QStringLiteral("groupKey"), QStringLiteral("{}:{alertname=\"X\"}")},
                       {QStringLiteral("groupLabels"), QJsonObject{}},
                       {QStringLiteral("commonAnnotations"), common},
                       {QStringLiteral("alerts"), alerts}};
}

TEST(AlertText, SaysStatusNameCountAndEachSummaryOnce)
{
    const QJsonArray alerts = {alert(QStringLiteral("DiskFull"),
                                     QStringLiteral("disk /var\nalmost full"),
                                     QStringLiteral("a1")),
                               alert(QStringLiteral("DiskFull"),
                                     QStringLiteral("disk /var almost full"), QStringLiteral("a2")),
                               alert(QStringLiteral("DiskFull"), QStringLiteral("inode table full"),
                                     QStringLiteral("a3"), QStringLiteral("description"))};
    const std::optional<AlertText::Parts> parts = AlertText::parts(notification(alerts));
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->status, "FIRING");
    EXPECT_EQ(parts->name, "DiskFull");
    EXPECT_EQ(parts->count, 3);
    EXPECT_EQ(parts->summary, "disk /var almost full; inode table full");
    EXPECT_EQ(AlertText::fit(*parts, [](const QByteArray&) { return true; }),
              QByteArray("[FIRING:3] DiskFull: disk /var almost full; inode table full"));

    const std::optional<AlertText::Parts> common = AlertText::parts(notification(
        alerts, QJsonObject{{QStringLiteral("summary"), QStringLiteral("all disks full")}}));
    ASSERT_TRUE(common);
    EXPECT_EQ(common->summary, "all disks full") << "a shared summary is said once";

    QJsonObject truncated = notification(alerts);
    truncated.insert(QStringLiteral("truncatedAlerts"), 5);
    EXPECT_EQ(AlertText::parts(truncated)->count, 8) << "the alerts left out are counted";

    EXPECT_FALSE(AlertText::parts(QJsonObject{{QStringLiteral("status"), QStringLiteral("x")}}))
        << "no list of alerts: no notification";
}

// Random alert sets at every company length: what is queued always goes out whole, is the
// full text or cut after a word of the summary, and keeps as much as it can.
TEST(AlertText, FitsRandomAlertsToEveryCompanyLengthCutAtAWord)
{
    QRandomGenerator random(424242);
    const QList<QByteArray> words = {"disk",       "full",      "on",      "db-01.example.net",
                                     "/var/lib/x", "99%",       "latency", "p99",
                                     "above",      "threshold", "a",       "node"};
    const QList<int> lengths = {80, 140, 160, 240};
    int cut = 0;
    for (int round = 0; round < 400; ++round) {
        QJsonArray alerts;
        const int count = 1 + random.bounded(30);
        for (int i = 0; i < count; ++i) {
            QStringList text;
            const int n = 1 + random.bounded(random.bounded(2) ? 8 : 80);
            for (int w = 0; w < n; ++w)
                text.append(QString::fromLatin1(words[random.bounded(words.size())]));
            alerts.append(alert(QStringLiteral("Alert%1").arg(random.bounded(3)),
                                text.join(QLatin1Char(' ')), QString::number(i)));
        }
        const std::optional<AlertText::Parts> parts = AlertText::parts(notification(alerts));
        ASSERT_TRUE(parts);
        const QByteArray pin = QByteArray::number(random.bounded(1000000, 99999999));
        const int length = lengths[random.bounded(lengths.size())];
        const auto fits = [&](const QByteArray& text) { return goesOutWhole(pin, length, text); };

        const std::optional<QByteArray> page = AlertText::fit(*parts, fits);
        ASSERT_TRUE(page) << "round " << round << ": the heading alone always fits";
        EXPECT_TRUE(fits(*page)) << "round " << round << ": " << page->constData();

        const QByteArray full = AlertText::heading(*parts, true) + ": " + parts->summary;
        if (fits(full)) {
            EXPECT_EQ(*page, full) << "round " << round << ": a text that fits is not cut";
            continue;
        }
        const bool hasCount = page->startsWith(AlertText::heading(*parts, true));
        const QByteArray head = AlertText::heading(*parts, hasCount) + ": ";
        ASSERT_TRUE(page->startsWith(head)) << "round " << round << ": " << page->constData();
        ASSERT_TRUE(page->endsWith("...")) << "round " << round << ": a cut is marked";
        const QByteArray kept = page->mid(head.size()).chopped(3);
        ASSERT_TRUE(parts->summary.startsWith(kept)) << "round " << round;
        EXPECT_EQ(parts->summary.at(kept.size()), ' ')
            << "round " << round << ": cut inside a word: " << page->constData();
        // Kept as much as it could: the next word would not have fitted.
        const qsizetype next = parts->summary.indexOf(' ', kept.size() + 1);
        if (next > 0) {
            EXPECT_FALSE(fits(head + parts->summary.left(next) + "..."))
                << "round " << round << ": a further word would have fitted";
        }
        ++cut;
    }
    EXPECT_GT(cut, 50) << "the rounds must exercise the cutting";
}

TEST(AlertText, LeavesTheCountOutOnlyWhenItLeavesNoRoom)
{
    AlertText::Parts parts{"FIRING", "DiskFull", 12, "disk full on db"};
    // Companies that take at most n characters.
    const auto upTo = [](qsizetype n) {
        return [n](const QByteArray& text) { return text.size() <= n; };
    };
    EXPECT_EQ(AlertText::fit(parts, upTo(200)),
              QByteArray("[FIRING:12] DiskFull: disk full on db"));
    EXPECT_EQ(AlertText::fit(parts, upTo(34)), QByteArray("[FIRING:12] DiskFull: disk full..."));
    EXPECT_EQ(AlertText::fit(parts, upTo(33)), QByteArray("[FIRING:12] DiskFull: disk..."));
    EXPECT_EQ(AlertText::fit(parts, upTo(28)), QByteArray("[FIRING] DiskFull: disk..."));
    EXPECT_EQ(AlertText::fit(parts, upTo(21)), QByteArray("[FIRING:12] DiskFull"));
    EXPECT_EQ(AlertText::fit(parts, upTo(17)), QByteArray("[FIRING] DiskFull"));
    EXPECT_EQ(AlertText::fit(parts, upTo(10)), std::nullopt);
}

} // namespace
