#include "queue/messagequeue.h"

#include "foundation/errors.h"
#include "tests/support/tempdatadir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// The queue's owner keeps QueuedCount as it changes the file, and says so every time.
class MessageQueueTest : public ::testing::Test
{
protected:
    MessageQueueTest()
    {
        QObject::connect(&queue, &MessageQueue::countChanged,
                         [this](qint32 count) { announced.append(count); });
    }

    static QueueSubmission page(const QByteArray& number, const QByteArray& pin)
    {
        return {number, CompanyLineSettings{}, QueueEntry{"m", "", pin, "10.0.0.5", "Pat"}};
    }
    qint32 pagesInFile() const { return MessageQueueFile(queue.path()).countMessages(); }

    TempDataDir dir;
    MessageQueue queue{dir.path()};
    QList<qint32> announced;
};

TEST_F(MessageQueueTest, TheFileIsMessageDatInTheDataFolder)
{
    EXPECT_EQ(queue.path(), dir.file(QStringLiteral("Message.Dat")));
    EXPECT_EQ(queue.count(), 0);
    EXPECT_FALSE(queue.exists());
    EXPECT_FALSE(queue.holdsMessages());
}

TEST_F(MessageQueueTest, TheCountFollowsEveryChangeTheOwnerMakes)
{
    ASSERT_EQ(queue.add({page("555", "1"), page("777", "2"), page("555", "3")}),
              (QList<qint32>{1, 1, 2}));
    EXPECT_EQ(queue.count(), 3);
    ASSERT_EQ(queue.addTestMessage("555", "4"), 3);
    EXPECT_EQ(queue.count(), 4);
    EXPECT_EQ(pagesInFile(), 4);

    // A run takes the messages off one by one; one already gone counts nothing.
    const QueuedCompany company = queue.readCompany("555");
    ASSERT_EQ(company.messages.size(), 3);
    EXPECT_TRUE(queue.removeMessage("555", company.messages[0]));
    EXPECT_FALSE(queue.removeMessage("555", company.messages[0]));
    EXPECT_EQ(queue.count(), 3);
    EXPECT_EQ(pagesInFile(), 3);

    EXPECT_TRUE(queue.clear());
    EXPECT_FALSE(dir.exists(QStringLiteral("Message.Dat")));
    EXPECT_EQ(queue.count(), 0);
    EXPECT_EQ(announced, (QList<qint32>{3, 4, 3, 0}));
}

TEST_F(MessageQueueTest, StartUpAndTheEndOfARunCountTheFile)
{
    EXPECT_EQ(queue.takeOver(), std::nullopt) << "no file, nothing kept";
    EXPECT_EQ(queue.count(), 0);

    dir.write(QStringLiteral("Message.Dat"),
              "[555]\r\nLength=80\r\nMSG1=a\r\nMSG2=\r\nMSG3=b\r\n[777]\r\nMSG1=c\r\n");
    EXPECT_EQ(queue.takeOver(), 3);
    EXPECT_EQ(queue.count(), 3);

    // Pages written behind the owner's back are not counted until it counts the file again.
    dir.write(QStringLiteral("Message.Dat"), "[555]\r\nMSG1=a\r\n");
    EXPECT_EQ(queue.count(), 3);
    queue.recount();
    EXPECT_EQ(queue.count(), 1);

    // A file deleted by hand leaves the count; start-up finds nothing to keep.
    ASSERT_TRUE(QFile::remove(queue.path()));
    EXPECT_TRUE(queue.holdsMessages()) << "the count says so";
    EXPECT_EQ(queue.takeOver(), std::nullopt);
    EXPECT_EQ(queue.count(), 0);
    EXPECT_EQ(announced, (QList<qint32>{0, 3, 1, 0}));
}

TEST_F(MessageQueueTest, AHandWrittenPageIsWaitingThoughNotCounted)
{
    dir.write(QStringLiteral("Message.Dat"), "[555]\r\nMSG7=x\r\n");
    EXPECT_EQ(queue.count(), 0);
    EXPECT_TRUE(queue.holdsMessages());
    dir.write(QStringLiteral("Message.Dat"), "[555]\r\nMSG7=\r\n");
    EXPECT_FALSE(queue.holdsMessages()) << "an emptied key holds no message";
}

TEST_F(MessageQueueTest, WhatIsNotWrittenIsNotCounted)
{
    ASSERT_TRUE(queue.add({page("555", "1")}));
    // In Message.Dat before the file is replaced by hand.
    queue.sync();

    // A section without a free key: nothing written, nothing counted.
    QByteArray full = "[556]\r\n";
    for (qint32 n = 1; n <= MessageQueueFile::MaxMessageNumber; ++n)
        full += MessageQueueFile::messageKey(n) + "=m\r\n";
    dir.write(QStringLiteral("Message.Dat"), full);
    queue.recount();
    const qint32 before = queue.count();
    EXPECT_FALSE(queue.add({page("557", "2"), page("556", "3")}));
    EXPECT_FALSE(queue.addTestMessage("556", "4"));
    EXPECT_EQ(queue.count(), before);
    EXPECT_EQ(dir.read(QStringLiteral("Message.Dat")), full);

    // A file that cannot be written: the write's error, and the count as it was.
    ASSERT_TRUE(QFile::remove(queue.path()));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Message.Dat/inside")));
    EXPECT_THROW(queue.add({page("555", "5")}), EIniFileError);
    EXPECT_THROW(queue.addTestMessage("555", "6"), EIniFileError);
    EXPECT_EQ(queue.count(), before);

    // Nor can it be deleted: the count keeps showing what is queued.
    EXPECT_FALSE(queue.clear());
    EXPECT_EQ(queue.count(), before);
}

} // namespace
