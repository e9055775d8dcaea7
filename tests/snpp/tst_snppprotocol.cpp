#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"
#include "snpp/snppcommand.h"
#include "snpp/snppprotocol.h"
#include "tests/snpp/printbytes.h"

#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

PagingCompany company(const QByteArray& accessNumber)
{
    PagingCompany c;
    c.Name = "Metro";
    c.AccessNumber = accessNumber;
    return c;
}

struct FakeParts final : ISnppAccess, IPagerDirectory, IPageSink
{
    QSet<QByteArray> deniedAddresses;
    QSet<QByteArray> refusedNumbers;
    QHash<QByteArray, QList<PagerTarget>> ids{
        {"alice", {{"111", company("5551")}}},
        {"ops", {{"111", company("5551")}, {"222", company("5552")}}},
        {"far", {{"333", company("7771")}}},
    };
    QList<PageSinkResult> results; // what the queue answers, in order; then Queued
    QList<QList<SnppPage>> queued;
    QList<QByteArray> refusals; // "pager: reason"

    bool addressAdmitted(const QByteArray& a) const override
    {
        return !deniedAddresses.contains(a);
    }
    bool mayDial(const QByteArray& n) const override { return !refusedNumbers.contains(n); }
    PagerLookup resolve(const QByteArray& id) const override
    {
        return {ids.value(id.toLower()),
                id == "stale" ? QByteArray("Group stale: No PIN For x") : QByteArray()};
    }
    PageSinkResult queue(const QList<SnppPage>& pages, const QByteArray& sender) override
    {
        EXPECT_EQ(sender, "10.0.0.9");
        const PageSinkResult result = results.isEmpty() ? PageSinkResult{} : results.takeFirst();
        if (result.status == PageSinkResult::Status::Queued)
            queued.append(pages);
        return result;
    }
    void refused(const QByteArray& sender, const QByteArray& pagerId,
                 const QByteArray& reason) override
    {
        EXPECT_EQ(sender, "10.0.0.9");
        refusals.append(pagerId + ": " + reason);
    }
};

class SnppProtocolTest : public ::testing::Test
{
protected:
    FakeParts parts;
    SnppProtocol protocol{parts, parts, parts, "10.0.0.9"};

    // The replies to the lines in order, one text per line, without their CR LF.
    QList<QByteArray> run(const QList<QByteArray>& lines)
    {
        QList<QByteArray> replies;
        for (const QByteArray& line : lines) {
            const SnppReply reply = protocol.handleLine(line);
            EXPECT_TRUE(reply.text.isEmpty() || reply.text.endsWith("\r\n")) << reply.text.data();
            replies.append(reply.pending ? QByteArray("(pending)") : reply.text.trimmed());
        }
        return replies;
    }
};

TEST(SnppCommandTest, CommandsAreNamedByTheirFirstFourLettersInAnyCase)
{
    const struct
    {
        QByteArray line;
        SnppCommand::Verb verb;
        QByteArray argument;
    } cases[] = {
        {"PAGE alice", SnppCommand::Verb::Page, "alice"},
        {"pager   alice secret  ", SnppCommand::Verb::Page, "alice secret"},
        {"MESSage hello  world", SnppCommand::Verb::Mess, "hello  world"},
        {"  send", SnppCommand::Verb::Send, ""},
        {"SITE HELP NOTIFY", SnppCommand::Verb::Site, "HELP NOTIFY"},
        {"LeVeL 1", SnppCommand::Verb::Leve, "1"},
        {"PAG alice", SnppCommand::Verb::Unknown, "alice"},
        {"HELO x", SnppCommand::Verb::Unknown, "x"},
        {"", SnppCommand::Verb::Unknown, ""},
    };
    for (const auto& c : cases) {
        const SnppCommand command = SnppCommand::parse(c.line);
        EXPECT_EQ(command.verb, c.verb) << c.line.data();
        EXPECT_EQ(command.argument, c.argument) << c.line.data();
    }
}

TEST_F(SnppProtocolTest, ATransactionIsQueuedWholeAtSendAndTheSessionStartsAfresh)
{
    EXPECT_EQ(run({"PAGE alice", "PAGE OPS", "SUBJ disk", "MESS full on\rweb1", "SEND"}),
              (QList<QByteArray>{"250 Pager ID Accepted", "250 Pager ID Accepted",
                                 "250 Message Subject OK", "250 Message OK",
                                 "250 Message Sent Successfully"}));
    ASSERT_EQ(parts.queued.size(), 1);
    // alice's pager is in the group as well: it is paged once.
    const QList<SnppPage>& pages = parts.queued[0];
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].pagerId, "alice");
    EXPECT_EQ(pages[1].pagerId, "OPS");
    EXPECT_EQ(pages[1].pin, "222");
    EXPECT_EQ(pages[1].message, "disk: full on web1");
    EXPECT_EQ(run({"SEND"}), QList<QByteArray>{"503 Error, Pager ID or Message Incomplete"});
}

TEST_F(SnppProtocolTest, RepliesOfTheLevelOneAndTwoCommands)
{
    parts.refusedNumbers = {"7771"};
    EXPECT_EQ(run({"PAGE", "PAGE stale", "PAGE far", "MESS", "MESS hi", "MESS again", "DATA",
                   "LOGI user pw", "LEVE 11", "LEVE 12", "SITE FROMUSER root", "SITE HELP NOTIFY",
                   "SITE UMASK 022", "HOLD 0101", "QUIT"}),
              (QList<QByteArray>{
                  "550 Error, Invalid Pager ID",
                  "550 Error, Invalid Pager ID (Group stale: No PIN For x)",
                  "550 Error, Access Number 7771 Not Allowed", "550 ERROR, Invalid Message",
                  "250 Message OK", "503 ERROR, Message Already Entered",
                  "503 ERROR, Message Already Entered", "250 Login Accepted", "250 OK",
                  "550 Error, Invalid Service Level", "500 Command Not Implemented",
                  "500 Command Not Implemented", "500 Command Not Implemented",
                  "550 Error, Invalid Delivery Date/Time", "221 OK, Goodbye"}));
    EXPECT_TRUE(protocol.handleLine("QUIT").close);
    const QByteArray help = protocol.handleLine("help").text;
    EXPECT_TRUE(help.startsWith("214 ")) << help.data();
    EXPECT_TRUE(help.endsWith("\r\n250 End of Help Information\r\n")) << help.data();
}

TEST_F(SnppProtocolTest, DataEndsAtALoneDotJoinsLinesAndTakesBackDoubledDots)
{
    const QList<QByteArray> body{"first", "..dotted", ".single", "", "last"};
    QList<QByteArray> lines{"PAGE alice", "DATA"};
    lines += body;
    lines += QList<QByteArray>{".", "SEND"};
    const QList<QByteArray> replies = run(lines);
    EXPECT_EQ(replies[1], "354 Begin Input; End with <CRLF>'.'<CRLF>");
    EXPECT_EQ(replies.mid(2, body.size()), QList<QByteArray>(body.size())) << "no reply per line";
    EXPECT_EQ(replies.last(1), QList<QByteArray>{"250 Message Sent Successfully"});
    ASSERT_EQ(parts.queued.size(), 1);
    EXPECT_EQ(parts.queued[0][0].message, "first .dotted .single  last");

    // Commands inside a body are text; a body over the cap is read to its end and refused.
    EXPECT_EQ(run({"DATA", "SEND", QByteArray(SnppProtocol::MaxMessage, 'x'), ".", "MESS ok"}),
              (QList<QByteArray>{"354 Begin Input; End with <CRLF>'.'<CRLF>", "", "",
                                 "550 Error, Message Too Long", "250 Message OK"}));
    EXPECT_EQ(run({"RESE", "DATA", "", "."}).last(), "550 Error, Invalid Message");
}

// The SEND's reply names the ids the queue gave the pages; runs of consecutive ids are ranges, so
// a group of thousands still gets a short line.
TEST_F(SnppProtocolTest, SendNamesThePagesIdsWithRunsAsRanges)
{
    using S = PageSinkResult::Status;
    QList<qint64> group;
    for (qint64 id = 17; id <= 5016; ++id)
        group.append(id);
    parts.results = {{S::Queued, {}, {7}},
                     {S::Queued, {}, {7, 8}},
                     {S::Queued, {}, {3, 5, 6, 7, 9, 10}},
                     {S::Queued, {}, group}};
    for (const char* expected :
         {"250 Message Sent Successfully (Ids 7)", "250 Message Sent Successfully (Ids 7,8)",
          "250 Message Sent Successfully (Ids 3,5-7,9,10)",
          "250 Message Sent Successfully (Ids 17-5016)"})
        EXPECT_EQ(run({"PAGE ops", "MESS m", "SEND"}).last(), expected);
}

TEST_F(SnppProtocolTest, SendReportsEveryAnswerOfTheQueueAndKeepsTheTransactionWhenRefused)
{
    using S = PageSinkResult::Status;
    parts.results = {{S::Busy, {}},
                     {S::NumberNotAllowed, "5552"},
                     {S::Rejected, "Field Holds A Queue Marker"},
                     {S::Unavailable, "Queue Unavailable"},
                     {S::Queued, {}}};
    // The page's own faults are the administrative 550, the queue's the technical 554.
    EXPECT_EQ(run({"PAGE ops", "MESS m", "SEND", "SEND", "SEND", "SEND"}).mid(2),
              (QList<QByteArray>{"(pending)", "550 Error, Access Number 5552 Not Allowed",
                                 "550 Message Failed: Field Holds A Queue Marker",
                                 "554 Message Failed: Queue Unavailable"}));
    // Each refusal of the page is shown once; the queue's failure is logged where it happens.
    EXPECT_EQ(parts.refusals, (QList<QByteArray>{": Access Number Not Allowed: 5552",
                                                 ": Field Holds A Queue Marker"}));
    EXPECT_EQ(protocol.retrySend().text, "250 Message Sent Successfully\r\n");
    ASSERT_EQ(parts.queued.size(), 1);
    EXPECT_EQ(parts.queued[0].size(), 2);

    // The address lists are asked again at SEND: a refused client is let go.
    parts.deniedAddresses = {"10.0.0.9"};
    run({"PAGE alice", "MESS m"});
    const SnppReply refused = protocol.handleLine("SEND");
    EXPECT_EQ(refused.text, SnppProtocol::deniedReply());
    EXPECT_TRUE(refused.close);
    EXPECT_EQ(parts.queued.size(), 1);
}

// The engine sends at most twenty blocks of a page: a text that needs more for any pager named
// is refused at MESS or DATA, and again at SEND by the queue when a subject or a pager given
// later makes it so.
TEST_F(SnppProtocolTest, ATextTooLongForAPagerIsRefusedAtMessAndDataAndShown)
{
    PagingCompany narrow = company("5553");
    narrow.Length = "80";
    parts.ids.insert("narrow", {{"1234567", narrow}});
    QByteArray long949;
    while (long949.size() < 949)
        long949 += "Disk full on db7, ";
    long949.truncate(949);
    // Eleven blocks at alice's length 140.
    EXPECT_EQ(run({"PAGE alice", "MESS " + long949, "SEND"}),
              (QList<QByteArray>{"250 Pager ID Accepted", "250 Message OK",
                                 "250 Message Sent Successfully"}));
    EXPECT_EQ(run({"PAGE narrow", "MESS " + long949, "DATA", long949.left(500), long949.mid(500),
                   ".", "MESS short", "SEND"}),
              (QList<QByteArray>{"250 Pager ID Accepted", "550 Error, Message Too Long",
                                 "354 Begin Input; End with <CRLF>'.'<CRLF>", "", "",
                                 "550 Error, Message Too Long", "250 Message OK",
                                 "250 Message Sent Successfully"}));
    EXPECT_EQ(parts.refusals,
              (QList<QByteArray>{"narrow: Message Too Long", "narrow: Message Too Long"}));
    ASSERT_EQ(parts.queued.size(), 2);
    EXPECT_EQ(parts.queued[1][0].message, "short");
}

// The engine cannot page a PIN that leaves no room for a continued piece at its company's
// length: such a pager ID is refused when it is named.
TEST_F(SnppProtocolTest, APinTheEngineCouldNotPageIsRefusedAtPage)
{
    PagingCompany narrow = company("5553");
    narrow.Name = "Narrow";
    narrow.Length = "80";
    parts.ids.insert("forty", {{QByteArray(40, '9'), narrow}});
    parts.ids.insert("thirtyfour", {{QByteArray(34, '9'), narrow}});
    EXPECT_EQ(run({"PAGE forty", "PAGE thirtyfour"}),
              (QList<QByteArray>{"550 Error, Invalid Pager ID (PIN Too Long For Narrow)",
                                 "250 Pager ID Accepted"}));
    EXPECT_EQ(parts.refusals, QList<QByteArray>{"forty: PIN Too Long For Narrow"});
}

// HOLD takes a time with or without seconds and a GMT difference; the time and the caller's ID
// go with every page of the transaction and are gone after it.
TEST_F(SnppProtocolTest, HoldAndCallerIdArePassedOnWithThePagesOfOneTransaction)
{
    const QList<QByteArray> bad{"HOLD",
                                "HOLD 26120810",
                                "HOLD 2612081000x",
                                "HOLD 261308100",
                                "HOLD 2613081000",
                                "HOLD 2612322400",
                                "HOLD 2612081060",
                                "HOLD 2612081000 5",
                                "HOLD 2612081000 +1500",
                                "HOLD 2612081000 +0160",
                                "HOLD 261208100000 -"};
    for (const QByteArray& line : bad)
        EXPECT_EQ(run({line}), QList<QByteArray>{"550 Error, Invalid Delivery Date/Time"})
            << line.data();
    EXPECT_EQ(run({"CALL"}), QList<QByteArray>{"550 Error, Invalid Caller ID"});

    EXPECT_EQ(run({"PAGE ops", "HOLD 2612081030 -0600", "CALLerid nagios@mon1", "MESS m", "SEND",
                   "PAGE alice", "HOLD 261208103045 +5", "MESS m", "SEND", "PAGE alice", "MESS m",
                   "SEND"}),
              (QList<QByteArray>{"250 Pager ID Accepted", "250 Delayed Messaging Selected",
                                 "250 Caller ID Accepted", "250 Message OK",
                                 "250 Message Sent Successfully", "250 Pager ID Accepted",
                                 "250 Delayed Messaging Selected", "250 Message OK",
                                 "250 Message Sent Successfully", "250 Pager ID Accepted",
                                 "250 Message OK", "250 Message Sent Successfully"}));
    ASSERT_EQ(parts.queued.size(), 3);
    const QDateTime first(QDate(2026, 12, 8), QTime(16, 30), QTimeZone::utc());
    for (const SnppPage& page : parts.queued[0]) {
        EXPECT_EQ(page.holdUntil, first);
        EXPECT_EQ(page.callerId, "nagios@mon1");
    }
    EXPECT_EQ(parts.queued[1][0].holdUntil,
              QDateTime(QDate(2026, 12, 8), QTime(5, 30, 45), QTimeZone::utc()));
    EXPECT_TRUE(parts.queued[1][0].callerId.isEmpty());
    EXPECT_FALSE(parts.queued[2][0].holdUntil.isValid());

    // Without a GMT difference the time is the server's own.
    run({"PAGE alice", "HOLD 2612081030", "MESS m", "SEND"});
    ASSERT_EQ(parts.queued.size(), 4);
    EXPECT_EQ(parts.queued[3][0].holdUntil, QDateTime(QDate(2026, 12, 8), QTime(10, 30)).toUTC());
}

TEST_F(SnppProtocolTest, OneTransactionNamesAtMostMaxPagers)
{
    for (int i = 0; i < SnppProtocol::MaxPagers; ++i)
        parts.ids.insert("p" + QByteArray::number(i), {{QByteArray::number(i), company("5551")}});
    for (int i = 0; i < SnppProtocol::MaxPagers; ++i)
        ASSERT_EQ(run({"PAGE p" + QByteArray::number(i)}),
                  QList<QByteArray>{"250 Pager ID Accepted"});
    EXPECT_EQ(run({"PAGE ops"}), QList<QByteArray>{"552 Maximum Entries Exceeded"});
    EXPECT_EQ(protocol.pagerCount(), SnppProtocol::MaxPagers);
}

} // namespace
