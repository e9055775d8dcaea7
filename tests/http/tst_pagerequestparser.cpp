#include "http/pagerequestparser.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

std::variant<HttpPageRequest, QByteArray> parse(const char* json)
{
    return PageRequestParser::parse(QJsonDocument::fromJson(json).object());
}

TEST(PageRequestParser, TakesOneOrManyPagersAndTheOptionalFields)
{
    auto one = parse(R"({"to": "alice", "message": "disk full"})");
    ASSERT_TRUE(std::holds_alternative<HttpPageRequest>(one));
    EXPECT_EQ(std::get<HttpPageRequest>(one).pagerIds, QList<QByteArray>{"alice"});
    EXPECT_EQ(std::get<HttpPageRequest>(one).message, "disk full");
    EXPECT_FALSE(std::get<HttpPageRequest>(one).holdUntil);

    auto many = parse(
        R"({"to": ["alice", "ops", "5551234@Metro Paging"], "message": " two\r\n lines\tand a tab ",
                          "subject": "db", "hold_until": "2026-12-07T18:40:00.5+01:00"})");
    ASSERT_TRUE(std::holds_alternative<HttpPageRequest>(many));
    const HttpPageRequest& request = std::get<HttpPageRequest>(many);
    EXPECT_EQ(request.pagerIds, (QList<QByteArray>{"alice", "ops", "5551234@Metro Paging"}))
        << "a company's name may hold blanks";
    EXPECT_EQ(request.message, "two lines and a tab") << "a page is one line";
    EXPECT_EQ(request.subject, "db");
    ASSERT_TRUE(request.holdUntil);
    EXPECT_EQ(request.holdUntil->toUTC(),
              QDateTime(QDate(2026, 12, 7), QTime(17, 40, 0, 500), Qt::UTC));
}

TEST(PageRequestParser, RefusesMalformedRequestsSayingWhy)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"({"message": "x"})", "missing field: to"},
        {R"({"to": "alice"})", "missing field: message"},
        {R"({"to": [], "message": "x"})", "no pager"},
        {R"({"to": 5, "message": "x"})", "pager ID"},
        {R"({"to": ["alice", 5], "message": "x"})", "pager IDs"},
        {R"({"to": "two words", "message": "x"})", "pager ID"},
        {R"({"to": "1001@Metro\tPaging", "message": "x"})", "pager ID"},
        {R"({"to": "", "message": "x"})", "pager ID"},
        {R"({"to": "alice", "message": 5})", "message must be a string"},
        {R"({"to": "alice", "message": "  \n "})", "message is empty"},
        {R"({"to": "alice", "message": "bell\u0007"})", "control characters"},
        {R"({"to": "alice", "message": "x", "subject": "esc\u001b"})", "control characters"},
        {R"({"to": "alice", "message": "x", "hold_until": "tomorrow"})", "RFC 3339"},
        {R"({"to": "alice", "message": "x", "hold_until": "2026-12-07T17:40:00"})", "RFC 3339"},
        {R"({"to": "alice", "message": "x", "hold_until": "2026-13-07T17:40:00Z"})", "RFC 3339"},
        {R"({"to": "alice", "message": "x", "hold_until": 1765000000})", "RFC 3339"},
    };
    for (const auto& [json, reason] : cases) {
        const auto result = parse(json);
        ASSERT_TRUE(std::holds_alternative<QByteArray>(result)) << json;
        EXPECT_TRUE(std::get<QByteArray>(result).contains(reason))
            << json << " -> " << std::get<QByteArray>(result).constData();
    }
    QByteArray many = R"({"message": "x", "to": [)";
    for (int i = 0; i <= PageRequestParser::MaxPagerIds; ++i)
        many += (i ? ",\"p" : "\"p") + QByteArray::number(i) + '"';
    many += "]}";
    EXPECT_TRUE(std::holds_alternative<QByteArray>(parse(many.constData())));
}

} // namespace
