#include "http/requestframing.h"

#include <QList>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

using Verdict = RequestFraming::Verdict;

HttpLimits smallLimits()
{
    HttpLimits limits;
    limits.headerBytes = 200;
    limits.bodyBytes = 100;
    return limits;
}

QByteArray post(const QByteArray& body, const QByteArray& extra = QByteArray())
{
    return "POST /api/v1/pages HTTP/1.1\r\nHost: x\r\n" + extra +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

struct Case
{
    const char* name;
    QByteArray bytes;
    Verdict verdict;
    qint64 completed;
};

// Each stream fed whole and fed one byte at a time: the verdict and the requests counted must
// not depend on how the bytes arrive.
TEST(RequestFraming, FindsRequestEdgesAndLimitsHoweverTheBytesArrive)
{
    const QList<Case> cases = {
        {"a GET", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", Verdict::Idle, 1},
        {"a GET with bare line ends", "GET / HTTP/1.1\nHost: x\n\n", Verdict::Idle, 1},
        {"blank lines before a request", "\r\n\r\nGET / HTTP/1.1\r\n\r\n", Verdict::Idle, 1},
        {"a POST with its body", post("{\"to\":\"a\"}"), Verdict::Idle, 1},
        {"a POST without all of its body", post("{\"to\":\"a\"}").chopped(3), Verdict::Partial, 0},
        {"a head cut short", "GET / HTTP/1.1\r\nHost: x\r\n", Verdict::Partial, 0},
        {"two requests in one go", post("ab") + "GET /x HTTP/1.1\r\n\r\n", Verdict::Idle, 2},
        {"a second request begun", post("ab") + "GET /x HT", Verdict::Partial, 1},
        {"a body of exactly the limit", post(QByteArray(100, 'b')), Verdict::Idle, 1},
        {"a body beyond the limit", post(QByteArray(101, 'b')), Verdict::BodyTooLarge, 0},
        {"a body announced beyond the limit", "POST / HTTP/1.1\r\nContent-Length: 101\r\n\r\n",
         Verdict::BodyTooLarge, 0},
        {"a length with 40 digits",
         "POST / HTTP/1.1\r\nContent-Length: 1234567890123456789012345678901234567890\r\n\r\n",
         Verdict::BadRequest, 0},
        {"headers beyond the limit",
         "GET / HTTP/1.1\r\nX-Big: " + QByteArray(200, 'h') + "\r\n\r\n", Verdict::HeaderTooLarge,
         0},
        {"a head that never ends", QByteArray(201, 'G'), Verdict::HeaderTooLarge, 0},
        {"a second head beyond the limit",
         "GET / HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\nX: " + QByteArray(200, 'h'),
         Verdict::HeaderTooLarge, 1},
        {"a body in chunks", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello",
         Verdict::LengthRequired, 0},
        {"a length that is no number", "POST / HTTP/1.1\r\nContent-Length: 1e3\r\n\r\n",
         Verdict::BadRequest, 0},
        {"a negative length", "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", Verdict::BadRequest,
         0},
        {"two lengths that differ",
         "POST / HTTP/1.1\r\nContent-Length: 2\r\ncontent-length: 3\r\n\r\nabc",
         Verdict::BadRequest, 0},
        {"two lengths alike", "POST / HTTP/1.1\r\nContent-Length: 2\r\nCONTENT-LENGTH: 2\r\n\r\nab",
         Verdict::Idle, 1},
        {"an upgrade", "GET / HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n",
         Verdict::BadRequest, 0},
        {"an error that stays", post(QByteArray(101, 'b')) + "GET / HTTP/1.1\r\n\r\n",
         Verdict::BodyTooLarge, 0},
    };
    for (const Case& c : cases) {
        RequestFraming whole(smallLimits());
        EXPECT_EQ(whole.feed(c.bytes), c.verdict) << c.name << " (fed whole)";
        EXPECT_EQ(whole.completed(), c.completed) << c.name << " (fed whole)";
        RequestFraming bytewise(smallLimits());
        for (const char byte : c.bytes)
            bytewise.feed(QByteArray(1, byte));
        EXPECT_EQ(bytewise.verdict(), c.verdict) << c.name << " (fed byte by byte)";
        EXPECT_EQ(bytewise.completed(), c.completed) << c.name << " (fed byte by byte)";
    }
}

TEST(RequestFraming, AsksForContinueOnlyUntilTheBodyArrives)
{
    RequestFraming framing(smallLimits());
    const QByteArray request = post("0123456789", "Expect: 100-continue\r\n");
    const qsizetype headEnd = request.indexOf("\r\n\r\n") + 4;
    framing.feed(request.left(headEnd - 1));
    EXPECT_FALSE(framing.wantsContinue()) << "the head has not ended yet";
    framing.feed(request.mid(headEnd - 1, 1));
    EXPECT_TRUE(framing.wantsContinue());
    framing.continueSent();
    EXPECT_FALSE(framing.wantsContinue());

    RequestFraming atOnce(smallLimits());
    atOnce.feed(request);
    EXPECT_FALSE(atOnce.wantsContinue()) << "the body came with the head: nothing to wait for";

    RequestFraming refused(smallLimits());
    refused.feed(post(QByteArray(101, 'b'), "Expect: 100-continue\r\n").left(headEnd + 1));
    EXPECT_FALSE(refused.wantsContinue()) << "a body beyond the limit is refused, not asked for";
    EXPECT_EQ(refused.verdict(), Verdict::BodyTooLarge);
}

// Random streams of valid requests cut at random places: every request is counted once, the
// connection is idle exactly at the end of a request, and no limit is claimed broken.
TEST(RequestFraming, CountsRandomRequestStreamsCutAnywhere)
{
    QRandomGenerator random(20261207);
    for (int round = 0; round < 300; ++round) {
        QByteArray stream;
        const int requests = 1 + random.bounded(5);
        for (int r = 0; r < requests; ++r) {
            if (random.bounded(2)) {
                stream += "GET /api/v1/pages/" + QByteArray::number(random.bounded(1000)) +
                          " HTTP/1.1\r\nHost: h\r\n\r\n";
            } else {
                QByteArray body(random.bounded(101), 'x');
                for (char& c : body)
                    c = static_cast<char>(random.bounded(256));
                stream += post(body);
            }
        }
        RequestFraming framing(smallLimits());
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype piece = 1 + random.bounded(40);
            framing.feed(stream.mid(at, piece));
            at += piece;
            ASSERT_FALSE(framing.failed()) << "round " << round << ": " << framing.problem();
        }
        EXPECT_EQ(framing.completed(), requests) << "round " << round;
        EXPECT_EQ(framing.verdict(), Verdict::Idle) << "round " << round;
    }
}

} // namespace
