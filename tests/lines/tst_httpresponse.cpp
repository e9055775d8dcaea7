#include "lines/httpresponse.h"

#include <QList>
#include <QRandomGenerator>

#include <functional>

#include <gtest/gtest.h>

namespace {

using State = HttpResponse::State;

struct Outcome
{
    State state;
    int status;
    QByteArray body;
    bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const HttpResponse& response)
{
    return {response.state(), response.status(), response.body()};
}

// The response fed whole, then the end of the connection.
Outcome readWhole(const QByteArray& bytes)
{
    HttpResponse response;
    if (response.feed(bytes) == State::Incomplete)
        response.finish();
    return outcomeOf(response);
}

// The same bytes in pieces of the sizes `split` gives.
Outcome readInPieces(const QByteArray& bytes, const std::function<qsizetype()>& split)
{
    HttpResponse response;
    for (qsizetype at = 0; at < bytes.size() && response.state() == State::Incomplete;) {
        const qsizetype size = qMin(split(), bytes.size() - at);
        response.feed(QByteArrayView(bytes).sliced(at, size));
        at += size;
    }
    if (response.state() == State::Incomplete)
        response.finish();
    return outcomeOf(response);
}

const QByteArray kChunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                            "5;ext=1\r\nhello\r\n7\r\n, world\r\n0\r\nTrailer: x\r\n\r\n";

TEST(HttpResponse, FramingsOfTheBody)
{
    struct Case
    {
        const char* what;
        QByteArray bytes;
        Outcome outcome;
    };
    const Case cases[] = {
        {"length",
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more",
         {State::Complete, 200, "hello"}},
        {"bare LF lines", "HTTP/1.0 200 OK\nContent-Length: 2\n\nhi", {State::Complete, 200, "hi"}},
        {"chunks", kChunked, {State::Complete, 200, "hello, world"}},
        {"until the close",
         "HTTP/1.1 500 Internal Server Error\r\n\r\npartial",
         {State::Complete, 500, "partial"}},
        {"interim response first",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         {State::Complete, 200, "ok"}},
        {"no body", "HTTP/1.1 204 No Content\r\n\r\n", {State::Complete, 204, ""}},
        {"same length twice",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\ncontent-length: 2\r\n\r\nok",
         {State::Complete, 200, "ok"}},
        {"two lengths",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nok!",
         {State::Malformed, 200, ""}},
        {"length no number",
         "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
         {State::Malformed, 200, ""}},
        {"cut body",
         "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello",
         {State::Malformed, 200, "hello"}},
        {"cut chunk",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nhello",
         {State::Malformed, 200, "hello"}},
        {"chunk longer than said",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhello\r\n0\r\n\r\n",
         {State::Malformed, 200, "he"}},
        {"chunk size no number",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
         {State::Malformed, 200, ""}},
        {"no HTTP", "220 mail.example ESMTP\r\n\r\n", {State::Malformed, 0, ""}},
        {"no status", "HTTP/1.1 2000 OK\r\n\r\n", {State::Malformed, 0, ""}},
        {"header without name", "HTTP/1.1 200 OK\r\n: x\r\n\r\n", {State::Malformed, 200, ""}},
        {"nothing", "", {State::Malformed, 0, ""}},
        {"too long a body",
         "HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n",
         {State::TooLarge, 200, ""}},
        {"too long a chunk",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n20000\r\n",
         {State::TooLarge, 200, ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = readWhole(c.bytes);
        EXPECT_EQ(outcome.state, c.outcome.state);
        EXPECT_EQ(outcome.status, c.outcome.status);
        EXPECT_EQ(outcome.body, c.outcome.body);
    }
}

// However the connection cuts a response into pieces, it reads the same as in one piece.
TEST(HttpResponse, PiecesReadAsTheWhole)
{
    const QList<QByteArray> responses = {
        kChunked,
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello world",
        "HTTP/1.0 200 OK\n\nto the end",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcdef\r\n",
    };
    QRandomGenerator random(25);
    for (const QByteArray& bytes : responses) {
        SCOPED_TRACE(bytes.constData());
        const Outcome whole = readWhole(bytes);
        EXPECT_EQ(readInPieces(bytes, [] { return qsizetype(1); }), whole);
        for (int round = 0; round < 50; ++round) {
            EXPECT_EQ(readInPieces(bytes, [&] { return qsizetype(random.bounded(1, 8)); }), whole);
        }
        // Every single cut point.
        for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
            bool first = true;
            EXPECT_EQ(readInPieces(bytes,
                                   [&] {
                                       const qsizetype size = first ? cut : bytes.size();
                                       first = false;
                                       return size;
                                   }),
                      whole);
        }
    }
}

// A far end that sends without end is cut off at the limit, also a byte at a time.
TEST(HttpResponse, HoldsNoMoreThanTheLimit)
{
    HttpResponse endlessHead;
    const QByteArray line = "X-Filler: " + QByteArray(100, 'x') + "\r\n";
    endlessHead.feed("HTTP/1.1 200 OK\r\n");
    qsizetype fed = 0;
    while (endlessHead.state() == State::Incomplete && fed < 2 * HttpResponse::kLimit) {
        endlessHead.feed(line);
        fed += line.size();
    }
    EXPECT_EQ(endlessHead.state(), State::TooLarge);

    HttpResponse endlessBody;
    endlessBody.feed("HTTP/1.1 200 OK\r\n\r\n");
    for (qsizetype i = 0; i <= HttpResponse::kLimit && endlessBody.state() == State::Incomplete;
         ++i)
        endlessBody.feed("y");
    EXPECT_EQ(endlessBody.state(), State::TooLarge);
    EXPECT_LE(endlessBody.body().size(), HttpResponse::kLimit);
}

} // namespace
