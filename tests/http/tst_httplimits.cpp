#include "tests/http/httpfixture.h"

#include "http/httpgate.h"
#include "tests/support/loopbackclient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryFile>

namespace {

using HttpLimitsTest = HttpFixture;

const QByteArray PageJson = R"({"to": "alice", "message": "disk full"})";

// A client that stops sending halfway through its request is dropped after the stall time,
// and the clients that come meanwhile are served without waiting for it.
TEST_F(HttpLimitsTest, DropsAStalledClientWhileOthersAreServed)
{
    // Long enough that the other clients are surely served first, however slow the machine.
    HttpLimits longer = limits;
    longer.stallMilliseconds = 4000;
    restart(longer);
    QElapsedTimer clock;
    clock.start();
    auto slow = connectFrom("127.0.0.5");
    ASSERT_EQ(slow->state(), QAbstractSocket::ConnectedState);
    slow->write("POST /api/v1/pages HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{\"to\"");
    auto idle = connectFrom("127.0.0.6"); // says nothing at all

    std::vector<std::unique_ptr<QProcess>> others;
    for (int i = 0; i < 4; ++i) {
        others.push_back(startCurl(QStringLiteral("/api/v1/pages"),
                                   {QStringLiteral("--data-binary"), QString::fromUtf8(PageJson)}));
    }
    for (auto& process : others) {
        const CurlReply reply = finishCurl(*process);
        EXPECT_EQ(reply.status, 202) << reply.output.constData();
    }
    EXPECT_EQ(server.queued().size(), 4);
    EXPECT_EQ(slow->state(), QAbstractSocket::ConnectedState)
        << "the others were served well before the stall time";

    const QByteArray slowReply = readUntilClosed(*slow, 20000);
    EXPECT_TRUE(slowReply.startsWith("HTTP/1.1 408")) << slowReply.constData();
    EXPECT_TRUE(slowReply.contains("{\"error\":")) << slowReply.constData();
    // Qt's timers may fire a little early; half the time is surely not its time yet.
    EXPECT_GE(clock.elapsed(), longer.stallMilliseconds / 2) << "dropped long before its time";
    EXPECT_TRUE(readUntilClosed(*idle, 20000).isEmpty() &&
                idle->state() == QAbstractSocket::UnconnectedState)
        << "a connection that never sends is closed without a word";
    EXPECT_EQ(server.queued().size(), 4) << "the stalled request was not handled";
    EXPECT_TRUE(waitFor([this] { return http->gate().connectionCount() == 0; }, 20));
}

// A kept-open connection has the stall time for each request anew.
TEST_F(HttpLimitsTest, GivesEachRequestOfAKeptConnectionItsOwnTime)
{
    auto client = connectFrom();
    for (int i = 0; i < 3; ++i) {
        waitFor([] { return false; }, 1); // most of the stall time passes between requests
        client->write("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
        QByteArray got;
        waitFor([&] { return (got += client->readAll()).endsWith("}"); }, 20);
        EXPECT_TRUE(got.startsWith("HTTP/1.1 200")) << i << ": " << got.constData();
    }
}

TEST_F(HttpLimitsTest, RefusesHeadersAndBodiesBeyondTheirCaps)
{
    // curl asks "Expect: 100-continue" for a large body: the 413 comes before the body.
    QTemporaryFile big;
    ASSERT_TRUE(big.open());
    big.write(QByteArray(limits.bodyBytes + 1, 'x'));
    big.flush();
    const CurlReply tooLarge =
        curl(QStringLiteral("/api/v1/pages"),
             {QStringLiteral("--data-binary"), QLatin1Char('@') + big.fileName()});
    EXPECT_EQ(tooLarge.status, 413) << tooLarge.output.constData();
    EXPECT_TRUE(tooLarge.body.contains("{\"error\":")) << tooLarge.body.constData();

    // Without Expect the body is not waited for either, and what is sent is read and dropped.
    auto raw = connectFrom();
    raw->write("POST /api/v1/pages HTTP/1.1\r\nHost: x\r\nContent-Length: " +
               QByteArray::number(limits.bodyBytes + 1) + "\r\n\r\n" + QByteArray(64 * 1024, 'x'));
    const QByteArray refused = readUntilClosed(*raw, 20000);
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 413")) << refused.left(200).constData();

    // A whole request whose head is too large, with a sound body: refused before the HTTP
    // server module sees any of it.
    const CurlReply hugeHeader =
        curl(QStringLiteral("/api/v1/pages"),
             {QStringLiteral("-H"),
              QStringLiteral("X-Filler: ") + QString(limits.headerBytes, QLatin1Char('h')),
              QStringLiteral("--data-binary"), QString::fromUtf8(PageJson)});
    EXPECT_EQ(hugeHeader.status, 431) << hugeHeader.output.constData();
    EXPECT_TRUE(hugeHeader.body.contains("{\"error\":")) << hugeHeader.body.constData();

    const CurlReply chunked =
        curl(QStringLiteral("/api/v1/pages"),
             {QStringLiteral("-H"), QStringLiteral("Transfer-Encoding: chunked"),
              QStringLiteral("--data-binary"), QString::fromUtf8(PageJson)});
    EXPECT_EQ(chunked.status, 411) << chunked.output.constData();

    // A body within the cap that asks for "100 Continue" first is taken.
    QByteArray padded = PageJson;
    padded.insert(1, "\"pad\": \"" + QByteArray(2000, 'p') + "\", ");
    const CurlReply expectOk = curl(QStringLiteral("/api/v1/pages"),
                                    {QStringLiteral("-H"), QStringLiteral("Expect: 100-continue"),
                                     QStringLiteral("--data-binary"), QString::fromUtf8(padded)});
    EXPECT_EQ(expectOk.status, 202) << expectOk.body.constData();
    EXPECT_EQ(server.queued().size(), 1) << "only the request within the caps was handled";
}

// Requests the HTTP server module cannot parse end their connections within the stall time,
// and what an address has held counts back, so no client locks its address out.
TEST_F(HttpLimitsTest, CountsBackConnectionsTheModuleGaveUp)
{
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    const QList<QByteArray> garbage = {"GET / HTTP/1.1\r\nBad Header Line\r\n\r\n",
                                       "GET / HTTP/1.1\r\nHost: x\r\n\r\n\x01\x02\x03\r\n\r\n",
                                       "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n"};
    for (int i = 0; i < limits.connectionsPerAddress; ++i) {
        clients.push_back(std::make_unique<LoopbackClient>(http->port()));
        clients.back()->send(garbage[i % garbage.size()]);
    }
    EXPECT_TRUE(waitFor([this] { return http->gate().connectionCount() == 0; }, 20))
        << http->gate().connectionCount() << " connections still counted";
    EXPECT_EQ(http->gate().servedFrom("127.0.0.1"), 0);
    EXPECT_EQ(curl(QStringLiteral("/healthz")).status, 200);
}

// The 17th connection from one address is refused with 429; the 16 are served, other addresses
// are not held back, and once one closes the address is served again.
TEST_F(HttpLimitsTest, ServesAtMostSixteenConnectionsPerAddress)
{
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < 16; ++i) {
        held.push_back(connectFrom("127.0.0.3"));
        ASSERT_EQ(held.back()->state(), QAbstractSocket::ConnectedState) << i;
    }
    ASSERT_TRUE(waitFor([this] { return http->gate().servedFrom("127.0.0.3") == 16; }, 20));
    const QStringList from3{QStringLiteral("--interface"), QStringLiteral("127.0.0.3")};
    const CurlReply seventeenth = curl(QStringLiteral("/healthz"), from3);
    EXPECT_EQ(seventeenth.status, 429) << seventeenth.output.constData();
    EXPECT_TRUE(seventeenth.body.contains("127.0.0.3")) << seventeenth.body.constData();
    EXPECT_EQ(curl(QStringLiteral("/healthz"),
                   {QStringLiteral("--interface"), QStringLiteral("127.0.0.4")})
                  .status,
              200);

    // The held connections are served.
    held[0]->write("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray got;
    waitFor([&] { return (got += held[0]->readAll()).endsWith("}"); }, 20);
    EXPECT_TRUE(got.startsWith("HTTP/1.1 200")) << got.constData();

    held[1]->disconnectFromHost();
    ASSERT_TRUE(waitFor([this] { return http->gate().servedFrom("127.0.0.3") == 15; }, 20));
    EXPECT_EQ(curl(QStringLiteral("/healthz"), from3).status, 200);
}

} // namespace
