#include "core/transactionlog.h"

#include "core/serverstate.h"
#include "foundation/datetimetext.h"
#include "foundation/errors.h"
#include "tests/support/servercoretest.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

const QDateTime Afternoon(QDate(2026, 3, 4), QTime(14, 5, 9));

TEST(TransactionLogLine, StampBlankHyphenBlankTextCrLf)
{
    const QByteArray stamp = DateTimeText::format(Afternoon).toLocal8Bit();
    EXPECT_TRUE(stamp.endsWith(" 14:05:09")) << stamp.toStdString();
    EXPECT_EQ(TransactionLog::formatLine(Afternoon, "Call Processing Started"),
              stamp + " - Call Processing Started\r\n");
    // A text that begins with a blank gives two blanks after the hyphen.
    EXPECT_EQ(TransactionLog::formatLine(Afternoon, " Error Connecting To Paging Network: 555"),
              stamp + " -  Error Connecting To Paging Network: 555\r\n");
    EXPECT_EQ(TransactionLog::formatLine(Afternoon, ""), stamp + " - \r\n");
}

TEST(TransactionLogLine, CallersOwnStampGivesTwoStamps)
{
    const QByteArray stamp = DateTimeText::format(Afternoon).toLocal8Bit();
    const QByteArray text = stamp + " Call(s) Compleated";
    EXPECT_EQ(TransactionLog::formatLine(Afternoon, text),
              stamp + " - " + stamp + " Call(s) Compleated\r\n");
}

TEST(TransactionLogLine, TimeLeftOutOnlyInTheFirstSecondAfterMidnight)
{
    const QDate day(2026, 3, 4);
    const QByteArray date = DateTimeText::dateOnly(QDateTime(day, QTime(0, 0))).toLocal8Bit();
    EXPECT_EQ(TransactionLog::formatLine(QDateTime(day, QTime(0, 0, 0, 999)), "x"),
              date + " - x\r\n");
    EXPECT_EQ(TransactionLog::formatLine(QDateTime(day, QTime(0, 0, 1)), "x"),
              date + " 00:00:01 - x\r\n");
    EXPECT_EQ(TransactionLog::formatLine(QDateTime(day, QTime(23, 59, 59)), "x"),
              date + " 23:59:59 - x\r\n");
}

class TransactionLogFile : public ServerCoreTest
{
protected:
    QList<QByteArray> lines() const { return TransactionLog::readLines(dir.path()); }
    // The event text of a line: what follows the writer's " - ".
    static QByteArray textOf(const QByteArray& line) { return line.mid(line.indexOf(" - ") + 3); }
};

TEST_F(TransactionLogFile, LoggingOffLeavesNoFile)
{
    configure([&](TServerConfig& c) { c.Logging = false; });
    core.AppendLog("Message Received From: 10.0.0.1");
    EXPECT_FALSE(dir.exists(QStringLiteral("Log.Dat")));
}

TEST_F(TransactionLogFile, FirstEventCreatesTheFileAndLaterOnesAppend)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    core.AppendLog("Call Processing Started");
    const QByteArray once = dir.read(QStringLiteral("Log.Dat"));
    EXPECT_TRUE(once.endsWith(" - Call Processing Started\r\n")) << once.toStdString();
    EXPECT_EQ(once.count("\r\n"), 1);

    core.AppendLog("No Messages Read");
    configure([&](TServerConfig& c) { c.Logging = false; }); // read for every line
    core.AppendLog("not written");
    configure([&](TServerConfig& c) { c.Logging = true; });
    core.AppendLog("--------------------------");
    const QByteArray all = dir.read(QStringLiteral("Log.Dat"));
    EXPECT_TRUE(all.startsWith(once)) << "earlier lines are never rewritten";
    ASSERT_EQ(lines().size(), 3);
    EXPECT_EQ(textOf(lines()[1]), QByteArray("No Messages Read"));
    EXPECT_EQ(textOf(lines()[2]), QByteArray("--------------------------"));
}

TEST_F(TransactionLogFile, WriteFailureIsReportedWithoutStoppingTheCaller)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Log.Dat")));
    configure([&](TServerConfig& c) { c.Logging = true; });
    EXPECT_NO_THROW(core.AppendLog("lost"));
    EXPECT_NO_THROW(core.AppendLog("lost too"));
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.shown().first().startsWith(QStringLiteral("notice: ")));
    EXPECT_TRUE(prompts.shown().first().contains(QStringLiteral("Log.Dat")));
    ASSERT_EQ(core.connectionLog().size(), 1);
    EXPECT_TRUE(
        core.connectionLog().first().startsWith(QStringLiteral("Transaction Log Not Written: ")));
    prompts.dismissNotices();
    core.AppendLog("lost again");
    EXPECT_EQ(prompts.shown().size(), 2);
    configure([&](TServerConfig& c) { c.Logging = false; });
    core.AppendLog("not attempted");
    EXPECT_EQ(prompts.shown().size(), 2);
}

TEST_F(TransactionLogFile, SavedCopyEqualsTheLogAndRemoveDeletesIt)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    core.AppendLog("first");
    core.AppendLog(" second with a leading blank");
    core.AppendLog("");
    const QString copy = dir.file(QStringLiteral("copy.txt"));
    dir.write(QStringLiteral("copy.txt"), "an older, longer file that is replaced whole\r\n\r\n");
    TransactionLog::saveCopy(copy, lines());
    EXPECT_EQ(dir.read(QStringLiteral("copy.txt")), dir.read(QStringLiteral("Log.Dat")));

    EXPECT_TRUE(TransactionLog::remove(dir.path()));
    EXPECT_FALSE(dir.exists(QStringLiteral("Log.Dat")));
    EXPECT_TRUE(lines().isEmpty());
    EXPECT_TRUE(TransactionLog::remove(dir.path())) << "a missing log is not an error";
}

TEST_F(TransactionLogFile, SaveCopyToAnUnwritablePlaceRaises)
{
    EXPECT_THROW(TransactionLog::saveCopy(dir.file(QStringLiteral("no/such/folder/x.txt")), {"a"}),
                 EZelkorError);
}

} // namespace
