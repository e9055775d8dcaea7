#include "tapnetworktest.h"

#include "tests/lines/tlsfront.h"

#include <QUrl>

#include <memory>

namespace {

using Texts = QList<QByteArray>;

// The scripted terminal behind socat's TLS, with a certificate for "localhost" from a test CA.
class TapTlsTest : public TapNetworkTest
{
protected:
    // The TLS set-up goes through socat: the terminal's prompt is given more time to come
    // through than a direct connection needs.
    TapTlsTest() { pacing.setScale(0.05); }

    static void SetUpTestSuite()
    {
        s_front = std::make_unique<TlsFront>();
        s_ready = s_front->makeCertificates();
    }
    static void TearDownTestSuite() { s_front.reset(); }

    void SetUp() override
    {
        TapNetworkTest::SetUp();
        ASSERT_TRUE(s_ready) << s_front->why().constData();
        ASSERT_TRUE(s_front->start(server.port())) << s_front->why().constData();
    }
    void TearDown() override { s_front->stop(); }

    QByteArray tlsUrl(const QByteArray& host, const QString& caFile) const
    {
        QByteArray url = "tap+tls://" + host + ":" + QByteArray::number(s_front->port());
        if (!caFile.isEmpty())
            url += "?ca=" + QUrl::toPercentEncoding(caFile, "/");
        return url;
    }

    static std::unique_ptr<TlsFront> s_front;
    static bool s_ready;
};

std::unique_ptr<TlsFront> TapTlsTest::s_front;
bool TapTlsTest::s_ready = false;

TEST_F(TapTlsTest, CarrierCertifiedByTheRoutesCaIsAccepted)
{
    auto line = lineTo(tlsUrl("localhost", s_front->caFile()));
    ASSERT_TRUE(line->Connect()) << progress.join(" / ").constData();
    EXPECT_EQ(progress.at(1), QByteArray("Connected"));
    EXPECT_TRUE(progress.contains("Login Accepted"));
    EXPECT_TRUE(line->SendPage("1234567", "over TLS"));
    line->Disconnect();
    EXPECT_TRUE(server.waitForClose(30));
    ASSERT_EQ(server.terminal().blocks().size(), 1);
    EXPECT_TRUE(server.terminal().blocks().first().checksumValid);
    EXPECT_EQ(server.terminal().blocks().first().field, QByteArray("over TLS"));
    EXPECT_TRUE(server.terminal().endOfCallReceived());
}

// Refusals happen before a byte of TAP goes out, and say why.
TEST_F(TapTlsTest, CarrierThatDoesNotCheckOutIsRefusedWithTheReason)
{
    struct Case
    {
        const char* what;
        QByteArray url;
        QByteArray reason; // part of the reason, without regard to letter case
    };
    const Case cases[] = {
        {"a host name the certificate does not name", tlsUrl("127.0.0.1", s_front->caFile()),
         "host name"},
        {"only the system's CAs", tlsUrl("localhost", {}), "certificate"},
        {"another CA", tlsUrl("localhost", s_front->otherCaFile()), "certificate"},
        {"a CA file that is not there",
         tlsUrl("localhost", s_front->caFile() + QStringLiteral("-missing")),
         "no ca certificate can be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        progress.clear();
        auto line = lineTo(c.url);
        EXPECT_EQ(pageErrorOf([&] { line->Connect(); }), 15);
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_TRUE(progress.last().startsWith("Connection Failed: ")) << progress.last().data();
        EXPECT_TRUE(progress.last().toLower().contains(c.reason)) << progress.last().data();
        EXPECT_FALSE(line->inCall());
    }
    EXPECT_EQ(server.connections(), 0) << "the terminal was reached through a refused carrier";
}

} // namespace
