#include "serial/replymatcher.h"

#include <gtest/gtest.h>

namespace {

int feedAll(ReplyMatcher& matcher, const QByteArray& bytes)
{
    return matcher.feed(bytes.constData(), static_cast<int>(bytes.size()));
}

const QByteArray kDialResults = "CONNECT|BUSY|NO DIAL TONE|NO CARRIER|NO ANSWER|VOICE";

TEST(ReplyMatcher, DialResultAfterEchoIsFoundWhereverTheReadsSplitIt)
{
    const QByteArray stream = "atdt 5551234\r\r\nNO CARRIER\r\n";
    for (qsizetype first = 0; first <= stream.size(); ++first) {
        for (qsizetype second = first; second <= stream.size(); ++second) {
            ReplyMatcher matcher(kDialResults);
            int index = feedAll(matcher, stream.left(first));
            if (index < 0)
                index = feedAll(matcher, stream.mid(first, second - first));
            if (index < 0)
                index = feedAll(matcher, stream.mid(second));
            EXPECT_EQ(index, 3) << "reads split at " << first << " and " << second;
        }
    }
}

TEST(ReplyMatcher, ByteThatBreaksAMatchIsDroppedWithIt)
{
    ReplyMatcher ook("OK");
    EXPECT_EQ(feedAll(ook, "OOK"), -1);
    EXPECT_TRUE(ook.collected().isEmpty());

    ReplyMatcher prompt("ID=");
    EXPECT_EQ(feedAll(prompt, "IID="), -1);
    EXPECT_EQ(feedAll(prompt, "xID="), 0);
}

TEST(ReplyMatcher, TopBitIsIgnored)
{
    ReplyMatcher matcher("OK");
    EXPECT_EQ(feedAll(matcher, QByteArray("\xCF\xCB")), 0);
    ReplyMatcher goAhead("\x1b[p\r");
    EXPECT_EQ(feedAll(goAhead, QByteArray("\x9b\xdb\xf0\x8d")), 0);
}

TEST(ReplyMatcher, FirstAlternativeThatBeginsWithTheTextIsTheCandidate)
{
    // "OK" is a prefix of "OKAY", which comes first: only "OKAY" can complete.
    ReplyMatcher matcher("OKAY|OK");
    EXPECT_EQ(feedAll(matcher, "OK"), -1);
    EXPECT_EQ(matcher.collected(), QByteArray("OK"));
    EXPECT_EQ(feedAll(matcher, "AY"), 0);

    ReplyMatcher later("OK|OKAY");
    EXPECT_EQ(feedAll(later, "OKAY"), 0);
}

TEST(ReplyMatcher, PiecesAreTakenUntrimmedAndInOrder)
{
    ReplyMatcher matcher(" OK|BUSY|");
    EXPECT_EQ(matcher.alternatives(), (QList<QByteArray>{" OK", "BUSY", ""}));
    EXPECT_EQ(feedAll(matcher, "OK"), -1);
    EXPECT_EQ(feedAll(matcher, " OK"), 0);
}

TEST(ReplyMatcher, StopsAtTheCompletedAlternativeAndReportsWhatItUsed)
{
    ReplyMatcher matcher("CONNECT|BUSY");
    int used = -1;
    const QByteArray bytes = "\r\nCONNECT 2400\r\nID=";
    EXPECT_EQ(matcher.feed(bytes.constData(), static_cast<int>(bytes.size()), &used), 0);
    EXPECT_EQ(used, 9);
    EXPECT_TRUE(matcher.collected().isEmpty());
}

TEST(ReplyMatcher, TerminalRepliesWithControlCharacters)
{
    const QByteArray logon = "\r\x06\r|\r\x15\r|\r\x1b\x04\r|\n\x06\r|\n\x15\r|\n\x1b\x04\r|ID=";
    struct Case
    {
        QByteArray reply;
        int index;
    };
    const Case cases[] = {
        {"\r\x06\r", 0},    {"\r\x15\r", 1},     {"\r\x1b\x04\r", 2}, {"\n\x06\r", 3},
        {"\n\x15\r", 4},    {"\n\x1b\x04\r", 5}, {"ID=", 6},          {"110 1.8\r\x06\r", 0},
        {"\r\r\x06\r", -1}, {"\r\x06\n", -1},
    };
    for (const Case& c : cases) {
        ReplyMatcher matcher(logon);
        EXPECT_EQ(feedAll(matcher, c.reply), c.index) << c.reply.toHex().constData();
    }
}

} // namespace
