#include "tests/http/httpfixture.h"

#include "tests/support/loopbackclient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject json(const CurlReply& reply)
{
    return QJsonDocument::fromJson(reply.body).object();
}

QString error(const CurlReply& reply)
{
    return json(reply).value(QStringLiteral("error")).toString();
}

#define EXPECT_REPLY(reply, code)                                                                  \
    EXPECT_EQ((reply).status, code) << (reply).body.constData() << (reply).output.constData()

using HttpApi = HttpFixture;

TEST_F(HttpApi, PagesAUserAndAGroupAndRefusesWhatCannotBeQueued)
{
    const CurlReply user =
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice", "message": "disk full"})");
    EXPECT_REPLY(user, 202);
    const QJsonArray userPages = json(user).value(QStringLiteral("pages")).toArray();
    ASSERT_EQ(userPages.size(), 1);
    EXPECT_EQ(userPages[0].toObject().value(QStringLiteral("to")).toString(),
              QStringLiteral("alice"));
    EXPECT_EQ(userPages[0].toObject().value(QStringLiteral("state")).toString(),
              QStringLiteral("queued"));
    EXPECT_FALSE(userPages[0].toObject().value(QStringLiteral("id")).toString().isEmpty());
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].sender, "127.0.0.1");
    EXPECT_EQ(server.requests()[0].frontend, HttpFrontend::Http);

    const CurlReply group = postJson(QStringLiteral("/api/v1/pages"),
                                     R"({"to": ["ops"], "message": "db down", "subject": "db"})");
    EXPECT_REPLY(group, 202);
    const QJsonArray groupPages = json(group).value(QStringLiteral("pages")).toArray();
    ASSERT_EQ(groupPages.size(), 2) << "one page per member of the group";
    EXPECT_NE(groupPages[0].toObject().value(QStringLiteral("id")),
              groupPages[1].toObject().value(QStringLiteral("id")));
    EXPECT_EQ(server.queued().size(), 3);

    const CurlReply badJson = postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice",)");
    EXPECT_REPLY(badJson, 400);
    EXPECT_TRUE(error(badJson).contains(QLatin1String("not JSON"))) << badJson.body.constData();
    const CurlReply notObject = postJson(QStringLiteral("/api/v1/pages"), R"(["alice"])");
    EXPECT_REPLY(notObject, 400);
    const CurlReply missing = postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice"})");
    EXPECT_REPLY(missing, 400);
    EXPECT_EQ(error(missing), QStringLiteral("missing field: message"));

    const CurlReply unknown =
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": ["alice", "zed"], "message": "x"})");
    EXPECT_REPLY(unknown, 422);
    EXPECT_EQ(error(unknown), QStringLiteral("unknown pager: zed"));
    const CurlReply notAllowed =
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "dave", "message": "x"})");
    EXPECT_REPLY(notAllowed, 422);
    EXPECT_EQ(error(notAllowed), QStringLiteral("number not allowed: 19005550000"));
    const QByteArray long949 = QByteArray("word ").repeated(190).left(949);
    const CurlReply tooLong = postJson(QStringLiteral("/api/v1/pages"),
                                       R"({"to": "alice", "message": ")" + long949 + "\"}");
    EXPECT_REPLY(tooLong, 413);
    EXPECT_EQ(error(tooLong), QStringLiteral("message too long for alice"));
    server.unavailable = true;
    const CurlReply full =
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice", "message": "x"})");
    EXPECT_REPLY(full, 503);
    EXPECT_EQ(server.queued().size(), 3) << "nothing queued by a refused request";

    EXPECT_REPLY(curl(QStringLiteral("/api/v1/pages")), 405);
    const CurlReply nowhere = curl(QStringLiteral("/api/v2/pages"));
    EXPECT_REPLY(nowhere, 404);
    EXPECT_FALSE(error(nowhere).isEmpty()) << "every error body is JSON with an error";
}

TEST_F(HttpApi, TellsWhatBecameOfAPage)
{
    const CurlReply sent =
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice", "message": "disk full"})");
    ASSERT_EQ(sent.status, 202) << sent.body.constData();
    const QString id = json(sent)[QStringLiteral("pages")]
                           .toArray()[0]
                           .toObject()[QStringLiteral("id")]
                           .toString();
    server.finish(id, HttpPageState::Failed, "Invalid ID Or Bad Link!");

    const CurlReply page = curl(QStringLiteral("/api/v1/pages/") + id);
    EXPECT_REPLY(page, 200);
    const QJsonObject record = json(page);
    EXPECT_EQ(record[QStringLiteral("id")].toString(), id);
    EXPECT_EQ(record[QStringLiteral("to")].toString(), QStringLiteral("alice"));
    EXPECT_EQ(record[QStringLiteral("pin")].toString(), QStringLiteral("1234567"));
    EXPECT_EQ(record[QStringLiteral("company")].toString(), QStringLiteral("Metro"));
    EXPECT_EQ(record[QStringLiteral("state")].toString(), QStringLiteral("failed"));
    EXPECT_EQ(record[QStringLiteral("reason")].toString(),
              QStringLiteral("Invalid ID Or Bad Link!"));
    const QString accepted = record[QStringLiteral("accepted_at")].toString();
    EXPECT_TRUE(QDateTime::fromString(accepted, Qt::ISODate).isValid()) << accepted.toStdString();
    EXPECT_TRUE(accepted.endsWith(QLatin1Char('Z')));
    const QJsonArray history = record[QStringLiteral("history")].toArray();
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history[2].toObject()[QStringLiteral("state")].toString(), QStringLiteral("failed"));

    const CurlReply unknown = curl(QStringLiteral("/api/v1/pages/999999"));
    EXPECT_REPLY(unknown, 404);
    EXPECT_TRUE(error(unknown).contains(QLatin1String("999999")));
}

TEST_F(HttpApi, AsksForTheTokenAndTheAddressListsOnEveryRequest)
{
    http->setToken("s3cret");
    const CurlReply none =
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice", "message": "x"})");
    EXPECT_REPLY(none, 401);
    EXPECT_FALSE(error(none).isEmpty());
    const QStringList wrongToken{QStringLiteral("-H"),
                                 QStringLiteral("Authorization: Bearer s3cre")};
    EXPECT_REPLY(
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice", "message": "x"})", wrongToken),
        401);
    EXPECT_REPLY(curl(QStringLiteral("/metrics"), wrongToken), 401);
    EXPECT_REPLY(curl(QStringLiteral("/")), 401);
    EXPECT_REPLY(curl(QStringLiteral("/api/v1/pages/1")), 401);
    EXPECT_REPLY(curl(QStringLiteral("/api/v1/pages/1"),
                      {QStringLiteral("-H"), QStringLiteral("Authorization: Basic s3cret")}),
                 401);
    EXPECT_TRUE(server.queued().isEmpty());
    EXPECT_REPLY(curl(QStringLiteral("/healthz")), 200) << "the health check needs no token";

    const QStringList token{QStringLiteral("-H"), QStringLiteral("Authorization: Bearer s3cret")};
    EXPECT_REPLY(
        postJson(QStringLiteral("/api/v1/pages"), R"({"to": "alice", "message": "x"})", token),
        202);
    EXPECT_REPLY(curl(QStringLiteral("/metrics"),
                      {QStringLiteral("--oauth2-bearer"), QStringLiteral("s3cret")}),
                 200);

    // A denied address is refused whatever it asks, the health check too; 127.0.0.2 stands in
    // for another machine.
    server.denied.insert("127.0.0.2");
    const QStringList other{QStringLiteral("--interface"), QStringLiteral("127.0.0.2")};
    const CurlReply denied = postJson(QStringLiteral("/api/v1/pages"),
                                      R"({"to": "alice", "message": "x"})", token + other);
    EXPECT_REPLY(denied, 403);
    EXPECT_FALSE(error(denied).isEmpty());
    EXPECT_REPLY(curl(QStringLiteral("/healthz"), other), 403);
    EXPECT_EQ(server.queued().size(), 1);

    // On a connection kept open, the lists count from the next request on.
    server.denied.clear();
    auto socket = connectFrom("127.0.0.2");
    socket->write("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray got;
    waitFor([&] { return (got += socket->readAll()).contains("\r\n\r\n{"); }, 20);
    EXPECT_TRUE(got.startsWith("HTTP/1.1 200")) << got.constData();
    server.denied.insert("127.0.0.2");
    got.clear();
    socket->write("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    waitFor([&] { return (got += socket->readAll()).contains("\r\n\r\n{"); }, 20);
    EXPECT_TRUE(got.startsWith("HTTP/1.1 403")) << got.constData();
}

// An Alertmanager notification as its webhook sends it.
QByteArray notification(const char* status, const QByteArray& alerts)
{
    return QByteArray(R"({"version": "4", "status": ")") + status +
           R"(", "receiver": "pager", "groupKey": "{}:{alertname=\"DiskFull\"}",
               "groupLabels": {"alertname": "DiskFull"}, "commonLabels": {"alertname": "DiskFull"},
               "commonAnnotations": {}, "externalURL": "http://am:9093", "truncatedAlerts": 0,
               "alerts": [)" +
           alerts + "]}";
}

QByteArray alert(const char* fingerprint, const char* summary)
{
    return QByteArray(R"({"status": "firing", "labels": {"alertname": "DiskFull", "instance": ")") +
           fingerprint + R"("}, "annotations": {"summary": ")" + summary +
           R"("}, "startsAt": "2026-12-07T17:40:00Z", "fingerprint": ")" + fingerprint + "\"}";
}

TEST_F(HttpApi, PagesOncePerAlertmanagerNotification)
{
    const QByteArray two = notification("firing", alert("f1", "disk /var full on db1") + "," +
                                                      alert("f2", "disk /var full on db2"));
    const CurlReply first = postJson(QStringLiteral("/api/v1/alertmanager/ops"), two);
    EXPECT_REPLY(first, 202);
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].frontend, HttpFrontend::Alertmanager);
    EXPECT_EQ(server.requests()[0].message,
              "[FIRING:2] DiskFull: disk /var full on db1; disk /var full on db2");
    EXPECT_EQ(server.queued().size(), 2) << "the group's two members";

    // The same notification from the cluster's other member: answered, not queued again.
    const QByteArray reordered = notification("firing", alert("f2", "disk /var full on db2") + "," +
                                                            alert("f1", "disk /var full on db1"));
    const CurlReply again = postJson(QStringLiteral("/api/v1/alertmanager/ops"), reordered);
    EXPECT_REPLY(again, 200);
    EXPECT_TRUE(json(again)[QStringLiteral("duplicate")].toBool());
    EXPECT_EQ(json(again)[QStringLiteral("pages")].toArray().size(), 2);
    EXPECT_EQ(server.requests().size(), 1);

    // Resolved is news; so is another set of alerts, and another pager.
    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/ops"),
                          notification("resolved", alert("f1", "x") + "," + alert("f2", "y"))),
                 202);
    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/ops"),
                          notification("firing", alert("f1", "x"))),
                 202);
    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/alice"), two), 202);
    EXPECT_EQ(server.requests().size(), 4);

    // Not queued: 5xx so Alertmanager tries again, and nothing is remembered.
    const CurlReply unknown = postJson(QStringLiteral("/api/v1/alertmanager/zed"), two);
    EXPECT_REPLY(unknown, 503);
    EXPECT_EQ(error(unknown), QStringLiteral("unknown pager: zed"));
    server.unavailable = true;
    const QByteArray third = notification("firing", alert("f3", "cpu hot"));
    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/alice"), third), 503);
    server.unavailable = false;
    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/alice"), third), 202)
        << "a retry after a failure is queued";

    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/alice"), R"({"status": "firing"})"),
                 400);
    EXPECT_REPLY(postJson(QStringLiteral("/api/v1/alertmanager/alice"),
                          R"({"version": "3", "status": "firing", "alerts": []})"),
                 400);
}

TEST_F(HttpApi, CutsALongAlertToTheCompanyAtAWord)
{
    QByteArray alerts;
    for (int i = 0; i < 40; ++i) {
        const QByteArray name = "f" + QByteArray::number(i);
        const QByteArray summary = "filesystem /srv/data" + QByteArray::number(i) + " almost full";
        alerts += (i ? "," : "") + alert(name.constData(), summary.constData());
    }
    EXPECT_REPLY(
        postJson(QStringLiteral("/api/v1/alertmanager/alice"), notification("firing", alerts)),
        202);
    ASSERT_EQ(server.requests().size(), 1);
    const QByteArray text = server.requests()[0].message;
    EXPECT_TRUE(text.startsWith("[FIRING:40] DiskFull: filesystem /srv/data0 almost full;"))
        << text.constData();
    EXPECT_TRUE(text.endsWith("...")) << text.constData();
    EXPECT_TRUE(server.fits("alice", text));
}

} // namespace
