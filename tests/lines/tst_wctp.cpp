#include "foundation/pacing.h"
#include "lines/wctpline.h"
#include "lines/wctpmessage.h"
#include "paging/elinelost.h"
#include "paging/epageerror.h"
#include "tests/lines/tlsfront.h"
#include "tests/lines/wctpendpoint.h"

#include <QTimer>
#include <QUrl>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Texts = QList<QByteArray>;

// What a carrier reads out of a request body: the attributes and the payload of a
// wctp-SubmitRequest, as text.
struct ReadRequest
{
    bool wellFormed = false;
    QString senderId;
    QString securityCode;
    bool hasSecurityCode = false;
    QString recipient;
    QString payload;
};

ReadRequest readRequest(const QByteArray& body)
{
    ReadRequest read;
    QXmlStreamReader xml(body);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QStringLiteral("wctp-Originator")) {
            read.senderId = attributes.value(QStringLiteral("senderID")).toString();
            read.hasSecurityCode = attributes.hasAttribute(QStringLiteral("securityCode"));
            read.securityCode = attributes.value(QStringLiteral("securityCode")).toString();
        } else if (xml.name() == QStringLiteral("wctp-Recipient")) {
            read.recipient = attributes.value(QStringLiteral("recipientID")).toString();
        } else if (xml.name() == QStringLiteral("wctp-Alphanumeric")) {
            read.payload = xml.readElementText();
        }
    }
    read.wellFormed = !xml.hasError();
    return read;
}

class WctpTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(endpoint.isListening()); }

    QByteArray endpointUrl() const
    {
        return "wctp+http://127.0.0.1:" + QByteArray::number(endpoint.port()) + "/wctp";
    }

    std::unique_ptr<WctpLine> lineTo(const QByteArray& url)
    {
        const std::optional<CarrierRoute> route = CarrierRoute::parse(url);
        if (!route) {
            ADD_FAILURE() << "no route: " << url.constData();
            return nullptr;
        }
        auto line = std::make_unique<WctpLine>(*route);
        line->setPacing(pacing);
        line->setProvider("5559999");
        line->setOnPageProgress([this](const QByteArray& text) { progress.append(text); });
        return line;
    }

    Pacing pacing{0.005};
    WctpEndpoint endpoint;
    Texts progress;
};

TEST_F(WctpTest, ConfirmedMessageIsDelivered)
{
    auto line = lineTo(endpointUrl());
    line->setPassword("s3cret");
    ASSERT_TRUE(line->Connect());
    EXPECT_TRUE(line->SendPage("1234567", "Call the front desk"));
    EXPECT_EQ(progress, (Texts{"Sending Message To 1234567", "Message Delivered"}));

    ASSERT_EQ(endpoint.requests().size(), 1);
    const WctpEndpoint::Request& request = endpoint.requests().first();
    EXPECT_TRUE(request.head.startsWith("POST /wctp HTTP/1.1\r\n")) << request.head.data();
    EXPECT_TRUE(request.head.contains("\r\nHost: 127.0.0.1:" + QByteArray::number(endpoint.port())))
        << request.head.data();
    const ReadRequest read = readRequest(request.body);
    EXPECT_TRUE(read.wellFormed);
    EXPECT_EQ(read.senderId, QStringLiteral("ZelkorServer"));
    EXPECT_EQ(read.securityCode, QStringLiteral("s3cret"));
    EXPECT_EQ(read.recipient, QStringLiteral("1234567"));
    EXPECT_EQ(read.payload, QStringLiteral("Call the front desk"));

    // Without a password there is no security code; a route may name its sender.
    auto other = lineTo(endpointUrl() + "?sender=front-desk");
    ASSERT_TRUE(other->Connect());
    EXPECT_TRUE(other->SendPage("42", "second"));
    ASSERT_EQ(endpoint.requests().size(), 2);
    const ReadRequest second = readRequest(endpoint.requests().last().body);
    EXPECT_FALSE(second.hasSecurityCode);
    EXPECT_EQ(second.senderId, QStringLiteral("front-desk"));
    EXPECT_FALSE(other->pausesAfterHangUp());
}

TEST_F(WctpTest, RefusalFailsTheMessageWithTheCarriersCodeAndText)
{
    auto line = lineTo(endpointUrl());
    endpoint.queueReplies({WctpEndpoint::failure(402, "Invalid recipient &amp; route")});
    ASSERT_TRUE(line->Connect());
    try {
        line->SendPage("999", "nobody");
        ADD_FAILURE() << "no error raised";
    } catch (const EPageError& e) {
        // A terminal's refusal of the pager ID: the message is done with and the sender told.
        EXPECT_EQ(e.code(), EPageError::Code::InvalidId);
        EXPECT_EQ(e.message(), QByteArray("WCTP Error 402: Invalid recipient & route!"));
    }
    EXPECT_EQ(progress.last(), QByteArray("Error: WCTP Error 402: Invalid recipient & route"));
    EXPECT_TRUE(line->inCall());
    EXPECT_TRUE(line->SendPage("1234567", "the next one goes"));
}

// Whatever goes wrong before the carrier's confirmation leaves the message unsent: it stays
// queued for the next call.
TEST_F(WctpTest, HttpAndNetworkFailuresLeaveTheMessageUnsent)
{
    struct Case
    {
        const char* what;
        QByteArray reply;
        QByteArray reason;
    };
    const Case cases[] = {
        {"server error", WctpEndpoint::httpResponse(500, "Internal Server Error", "oops"),
         "HTTP 500 Internal Server Error"},
        {"not found", WctpEndpoint::httpResponse(404, "Not Found", ""), "HTTP 404 Not Found"},
        {"a web page", WctpEndpoint::httpResponse(200, "OK", "<html>hello</html>"),
         "no WCTP confirmation"},
        {"a cut reply", "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n<wctp-Operation>",
         "the connection ended inside the body"},
        {"no HTTP", "SSH-2.0-OpenSSH\r\n\r\n", "not an HTTP response"},
    };
    auto line = lineTo(endpointUrl());
    ASSERT_TRUE(line->Connect());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        endpoint.queueReplies({c.reply});
        progress.clear();
        try {
            line->SendPage("1234567", "kept");
            ADD_FAILURE() << "no error raised";
        } catch (const ELineLost& e) {
            EXPECT_TRUE(e.message().contains(c.reason)) << e.message().data();
        }
        EXPECT_TRUE(progress.last().startsWith("Connection Failed: ")) << progress.last().data();
    }

    auto refused = lineTo("wctp+http://127.0.0.1:1/wctp");
    ASSERT_TRUE(refused->Connect());
    EXPECT_THROW(refused->SendPage("1234567", "kept"), ELineLost);
    EXPECT_TRUE(progress.last().toLower().contains("refused")) << progress.last().data();
}

TEST_F(WctpTest, CancelDuringTheRequestReturnsFalseQuietly)
{
    auto line = lineTo(endpointUrl());
    // The carrier holds the answer back; the operator cancels meanwhile.
    endpoint.setAnswering(false);
    ASSERT_TRUE(line->Connect());
    QTimer::singleShot(pacing.scaled(3000), line.get(), [&] { line->Disconnect(); });
    bool sent = true;
    EXPECT_NO_THROW(sent = line->SendPage("1234567", "hello"));
    EXPECT_FALSE(sent);
    EXPECT_FALSE(line->inCall());
    EXPECT_FALSE(line->SendPage("1234567", "after the cancel"));
    EXPECT_EQ(endpoint.requests().size(), 1);
}

// Every byte a page may hold makes a request the carrier can read, and reads back as the page
// (CR dropped, the control characters XML cannot carry as blanks).
TEST(WctpMessage, EveryByteOfAPageMakesAWellFormedRequest)
{
    QByteArray page;
    for (int byte = 0; byte <= 0xFF; ++byte)
        page.append(static_cast<char>(byte));
    WctpMessage::Submit submit;
    submit.senderId = "id\x01<&\"";
    submit.securityCode = page;
    submit.recipient = "12\"34";
    submit.text = page;
    submit.messageId = "1";
    submit.submitted = QDateTime::currentDateTimeUtc();
    const ReadRequest read = readRequest(WctpMessage::submitRequest(submit));
    ASSERT_TRUE(read.wellFormed);

    QString expected;
    for (int byte = 0; byte <= 0xFF; ++byte) {
        if (byte == '\r')
            continue;
        expected.append(byte < 0x20 && byte != '\t' && byte != '\n' ? QChar(u' ')
                                                                    : QChar(char16_t(byte)));
    }
    EXPECT_EQ(read.payload, expected);
    EXPECT_EQ(read.recipient, QStringLiteral("12\"34"));
    EXPECT_EQ(read.senderId, QStringLiteral("id <&\""));
}

TEST(WctpMessage, ConfirmationOutcomes)
{
    using Outcome = WctpMessage::Confirmation::Outcome;
    struct Case
    {
        QByteArray document;
        Outcome outcome;
        int code;
        QByteArray text;
    };
    const Case cases[] = {
        {"<wctp-Operation><wctp-Confirmation><wctp-Success successCode=\"200\" "
         "successText=\"Queued\"/></wctp-Confirmation></wctp-Operation>",
         Outcome::Success, 200, "Queued"},
        {"<?xml version=\"1.0\"?><wctp-Operation wctpVersion=\"wctp-dtd-v1r3\">"
         "<wctp-Confirmation><wctp-Failure errorCode=\"403\" errorText=\"Bad\n\t "
         "code\"/></wctp-Confirmation></wctp-Operation>",
         Outcome::Failure, 403, "Bad code"},
        // A failure somewhere else in the document is no confirmation.
        {"<wctp-Operation><wctp-Failure errorCode=\"300\"/></wctp-Operation>", Outcome::Unreadable,
         0, ""},
        {"<other><wctp-Confirmation><wctp-Success/></wctp-Confirmation></other>",
         Outcome::Unreadable, 0, ""},
        {"<wctp-Operation><wctp-Confirmation><wctp-Success successCode=\"200\"/>",
         Outcome::Unreadable, 0, ""},
        {"", Outcome::Unreadable, 0, ""},
        {"not xml at all", Outcome::Unreadable, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document.constData());
        const WctpMessage::Confirmation confirmation = WctpMessage::readConfirmation(c.document);
        EXPECT_EQ(confirmation.outcome, c.outcome);
        EXPECT_EQ(confirmation.code, c.code);
        EXPECT_EQ(confirmation.text, c.text);
    }
}

// WCTP over HTTPS, behind the same TLS front and checks as TAP.
TEST_F(WctpTest, OverHttpsWithTheCarriersCa)
{
    TlsFront front;
    ASSERT_TRUE(front.makeCertificates()) << front.why().constData();
    ASSERT_TRUE(front.start(endpoint.port())) << front.why().constData();
    const QByteArray base = "wctp+https://%1:" + QByteArray::number(front.port()) +
                            "/wctp?ca=" + QUrl::toPercentEncoding(front.caFile(), "/");

    auto line = lineTo(QByteArray(base).replace("%1", "localhost"));
    ASSERT_TRUE(line->Connect());
    EXPECT_TRUE(line->SendPage("1234567", "secure")) << progress.join(" / ").constData();
    ASSERT_EQ(endpoint.requests().size(), 1);
    EXPECT_TRUE(endpoint.requests().first().head.contains("\r\nHost: localhost:" +
                                                          QByteArray::number(front.port())));

    auto wrongName = lineTo(QByteArray(base).replace("%1", "127.0.0.1"));
    ASSERT_TRUE(wrongName->Connect());
    EXPECT_THROW(wrongName->SendPage("1234567", "refused"), ELineLost);
    EXPECT_TRUE(progress.last().toLower().contains("host name")) << progress.last().data();
    EXPECT_EQ(endpoint.requests().size(), 1);
}

} // namespace
