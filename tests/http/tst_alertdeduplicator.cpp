#include "http/alertdeduplicator.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

QJsonObject notification(const QString& status, const QStringList& fingerprints,
                         const QString& groupKey = QStringLiteral("{}:{alertname=\"DiskFull\"}"))
{
    QJsonArray alerts;
    for (const QString& fingerprint : fingerprints) {
        alerts.append(QJsonObject{
            {QStringLiteral("status"), status},
            {QStringLiteral("fingerprint"), fingerprint},
            {QStringLiteral("labels"), QJsonObject{{QStringLiteral("instance"), fingerprint}}}});
    }
    return QJsonObject{{QStringLiteral("status"), status},
                       {QStringLiteral("groupKey"), groupKey},
                       {QStringLiteral("alerts"), alerts}};
}

QJsonObject notification(const QString& status, std::initializer_list<const char*> fingerprints,
                         const QString& groupKey = QStringLiteral("{}:{alertname=\"DiskFull\"}"))
{
    QStringList list;
    for (const char* fingerprint : fingerprints)
        list.append(QString::fromLatin1(fingerprint));
    return notification(status, list, groupKey);
}

const QString Firing = QStringLiteral("firing");

TEST(AlertDeduplicator, KnowsANotificationByPagerGroupStatusAndFingerprints)
{
    const QByteArray key = AlertDeduplicator::keyOf("oncall", notification(Firing, {"a", "b"}));
    EXPECT_EQ(key, AlertDeduplicator::keyOf("OnCall", notification(Firing, {"b", "a"})))
        << "the order of the alerts and the pager ID's letter case do not matter";
    EXPECT_EQ(key, AlertDeduplicator::keyOf("oncall", notification(Firing, {"a", "b", "a"})));
    EXPECT_NE(key, AlertDeduplicator::keyOf("ops", notification(Firing, {"a", "b"})));
    EXPECT_NE(key, AlertDeduplicator::keyOf("oncall",
                                            notification(QStringLiteral("resolved"), {"a", "b"})));
    EXPECT_NE(key, AlertDeduplicator::keyOf("oncall", notification(Firing, {"a"})));
    EXPECT_NE(key, AlertDeduplicator::keyOf("oncall", notification(Firing, {"a", "b", "c"})));
    EXPECT_NE(key, AlertDeduplicator::keyOf(
                       "oncall", notification(Firing, {"a", "b"}, QStringLiteral("{}:{x=\"y\"}"))));
    // Parts cannot run into each other: "ab"+"c" is not "a"+"bc".
    EXPECT_NE(AlertDeduplicator::keyOf("oncall", notification(Firing, {"ab", "c"})),
              AlertDeduplicator::keyOf("oncall", notification(Firing, {"a", "bc"})));

    QJsonObject unprinted = notification(Firing, {"a"});
    QJsonArray alerts = unprinted[QStringLiteral("alerts")].toArray();
    QJsonObject first = alerts[0].toObject();
    first.remove(QStringLiteral("fingerprint"));
    alerts[0] = first;
    unprinted[QStringLiteral("alerts")] = alerts;
    QJsonObject otherLabels = unprinted;
    QJsonObject changed = first;
    changed[QStringLiteral("labels")] =
        QJsonObject{{QStringLiteral("instance"), QStringLiteral("z")}};
    otherLabels[QStringLiteral("alerts")] = QJsonArray{changed};
    EXPECT_NE(AlertDeduplicator::keyOf("oncall", unprinted),
              AlertDeduplicator::keyOf("oncall", otherLabels))
        << "without fingerprints the labels tell alerts apart";
}

TEST(AlertDeduplicator, RemembersQueuedNotificationsForTenMinutes)
{
    qint64 now = 5000;
    AlertDeduplicator seen([&now] { return now; });
    const QByteArray key = AlertDeduplicator::keyOf("oncall", notification(Firing, {"a"}));
    EXPECT_FALSE(seen.queuedBefore(key));
    seen.remember(key, {{QStringLiteral("17"), "alice"}});
    now += AlertDeduplicator::DefaultWindowMs - 1;
    ASSERT_TRUE(seen.queuedBefore(key));
    EXPECT_EQ(seen.queuedBefore(key)->first().id, QStringLiteral("17"));
    now += 1;
    EXPECT_FALSE(seen.queuedBefore(key)) << "ten minutes on, the same notification pages again";
    EXPECT_EQ(seen.size(), 0) << "forgotten, not only hidden";

    // Queued again after the window: remembered from then on, not from the first time.
    seen.remember(key, {{QStringLiteral("18"), "alice"}});
    now += AlertDeduplicator::DefaultWindowMs / 2;
    ASSERT_TRUE(seen.queuedBefore(key));
    EXPECT_EQ(seen.queuedBefore(key)->first().id, QStringLiteral("18"));
}

TEST(AlertDeduplicator, ForgetsTheOldestBeyondItsCapacity)
{
    qint64 now = 0;
    AlertDeduplicator seen([&now] { return now; }, AlertDeduplicator::DefaultWindowMs, 3);
    QList<QByteArray> keys;
    for (int i = 0; i < 5; ++i) {
        keys.append(AlertDeduplicator::keyOf(
            "oncall", notification(Firing, QStringList{QString::number(i)})));
        seen.remember(keys.last(), {});
        ++now;
    }
    EXPECT_EQ(seen.size(), 3);
    EXPECT_FALSE(seen.queuedBefore(keys[0]));
    EXPECT_FALSE(seen.queuedBefore(keys[1]));
    EXPECT_TRUE(seen.queuedBefore(keys[4]));
}

} // namespace
