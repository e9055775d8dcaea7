#include "intake/queuecommands.h"

#include "core/serverstate.h"
#include "core/transactionlog.h"
#include "foundation/errors.h"
#include "foundation/tinifile.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/support/servercoretest.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString PinPrompt = QStringLiteral("Enter PIN To Send To:");
const QString NumberPrompt = QStringLiteral("Enter Paging Co. Access Number:");

class QueueCommandsTest : public ServerCoreTest
{
protected:
    QueueCommands commands{core, prompts};

    QString queuePath() const { return dir.file(MessageQueueFile::FileName); }
    // `n` pages counted whose file was then deleted by hand: the count stays as it was.
    void countedWithoutFile(int n)
    {
        const QueueSubmission page{"5550000", {}, {"m", "", "1", "127.0.0.9", "i"}};
        ASSERT_TRUE(core.queue().add(QList<QueueSubmission>(n, page)));
        ASSERT_TRUE(QFile::remove(queuePath()));
        ASSERT_EQ(core.queuedCount(), n);
    }
    QByteArray readQueue(const char* section, const QByteArray& key) const
    {
        return TIniFile(queuePath()).ReadText(section, key, "<none>");
    }
    // The event texts of Log.Dat, without the writer's stamp and " - ".
    QList<QByteArray> loggedTexts() const
    {
        QList<QByteArray> texts;
        for (const QByteArray& line : TransactionLog::readLines(dir.path()))
            texts.append(line.mid(line.indexOf(" - ") + 3));
        return texts;
    }
    void answerTest(const char* pin, const char* number)
    {
        prompts.expectInput(PinPrompt, QString::fromLatin1(pin));
        prompts.expectInput(NumberPrompt, QString::fromLatin1(number));
    }
};

TEST_F(QueueCommandsTest, TestMessageIsQueuedShownLoggedAndCounted)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    countedWithoutFile(3);
    answerTest("12345", "5551234");
    EXPECT_TRUE(commands.sendTestMessage());

    EXPECT_EQ(dir.read(MessageQueueFile::FileName),
              QByteArray("[5551234]\r\nLength=140\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n"
                         "MSG1=*MSG*Zelkor LAN Server Test*PIN*12345*USR*0.0.0.127*ID*Torvex LAN "
                         "Server\r\n"));
    const QList<QByteArray> expected{"Message Received From: Zelkor Server", "  Msg. To: Unknown",
                                     "         PIN: 12345", "Message: Zelkor LAN Server Test",
                                     QByteArray(42, '-')};
    QStringList shown;
    for (const QByteArray& line : expected)
        shown.append(QString::fromLatin1(line));
    EXPECT_EQ(core.connectionLog(), shown);
    EXPECT_EQ(loggedTexts(), expected);
    EXPECT_EQ(core.queuedCount(), 4);
    EXPECT_EQ(core.queuedCount(), 4);
    EXPECT_TRUE(prompts.scriptDone());
}

TEST_F(QueueCommandsTest, SecondTestMessageTakesTheNextFreeKey)
{
    answerTest("1", "555");
    answerTest("2", "555");
    ASSERT_TRUE(commands.sendTestMessage());
    ASSERT_TRUE(commands.sendTestMessage());
    EXPECT_EQ(readQueue("555", "MSG1"), MessageQueueFile::testEntry("1").format());
    EXPECT_EQ(readQueue("555", "MSG2"), MessageQueueFile::testEntry("2").format());
    EXPECT_EQ(core.queuedCount(), 2);
    EXPECT_FALSE(dir.exists(TransactionLog::FileName)) << "logging is off by default";
}

TEST_F(QueueCommandsTest, CancelOrEmptyAnswerStopsWithoutTouchingAnything)
{
    prompts.expectInput(PinPrompt, std::nullopt);
    EXPECT_FALSE(commands.sendTestMessage());
    prompts.expectInput(PinPrompt, QString());
    EXPECT_FALSE(commands.sendTestMessage());
    prompts.expectInput(PinPrompt, QStringLiteral("1"));
    prompts.expectInput(NumberPrompt, std::nullopt);
    EXPECT_FALSE(commands.sendTestMessage());
    answerTest("1", "");
    EXPECT_FALSE(commands.sendTestMessage());

    EXPECT_TRUE(prompts.scriptDone());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_TRUE(core.connectionLog().isEmpty());
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(QueueCommandsTest, FullSectionRefusesTheTestMessage)
{
    QByteArray text = "[555]\r\n";
    for (qint32 n = 1; n <= MessageQueueFile::MaxMessageNumber; ++n)
        text += MessageQueueFile::messageKey(n) + "=queued\r\n";
    dir.write(MessageQueueFile::FileName, text);
    answerTest("1", "555");
    EXPECT_THROW(commands.sendTestMessage(), EZelkorError);
    EXPECT_EQ(dir.read(MessageQueueFile::FileName), text);
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_TRUE(core.connectionLog().isEmpty());
}

TEST_F(QueueCommandsTest, ClearDeletesTheQueueResetsTheCounterAndLogsTwoStamps)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    answerTest("1", "555");
    ASSERT_TRUE(commands.sendTestMessage());

    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    EXPECT_TRUE(commands.clearMessageQueue());
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_EQ(core.queuedCount(), 0);
    ASSERT_EQ(core.transmitLog().size(), 1);
    const QString shown = core.transmitLog().first();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(" Message Queue Cleared!")));
    EXPECT_GT(shown.size(), QStringLiteral(" Message Queue Cleared!").size()) << "time stamp";
    const QList<QByteArray> lines = TransactionLog::readLines(dir.path());
    ASSERT_EQ(lines.size(), 6);
    // The writer's stamp, " - ", then the command's own stamp and text.
    EXPECT_TRUE(lines.last().endsWith(" - " + shown.toLocal8Bit())) << lines.last().toStdString();
    EXPECT_TRUE(
        prompts.shown().contains(QStringLiteral("confirmation: Clear All Queued Messages?")));
}

TEST_F(QueueCommandsTest, ClearAnsweredNoChangesNothing)
{
    answerTest("1", "555");
    ASSERT_TRUE(commands.sendTestMessage());
    const QByteArray before = dir.read(MessageQueueFile::FileName);
    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), false);
    EXPECT_FALSE(commands.clearMessageQueue());
    EXPECT_EQ(dir.read(MessageQueueFile::FileName), before);
    EXPECT_EQ(core.queuedCount(), 1);
    EXPECT_TRUE(core.transmitLog().isEmpty());
}

TEST_F(QueueCommandsTest, ClearWithoutQueueFileIsNoError)
{
    countedWithoutFile(2);
    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    EXPECT_TRUE(commands.clearMessageQueue());
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_EQ(core.transmitLog().size(), 1);
}

TEST_F(QueueCommandsTest, QueueThatCannotBeDeletedIsReportedNotCleared)
{
    // A non-empty folder in the file's place cannot be deleted as a file.
    countedWithoutFile(2);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Message.Dat/inside")));
    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    EXPECT_THROW(commands.clearMessageQueue(), EZelkorError);
    EXPECT_EQ(core.queuedCount(), 2);
    EXPECT_TRUE(core.transmitLog().isEmpty());
}

} // namespace
