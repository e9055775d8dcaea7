#include "queue/queuejournal.h"

#include "foundation/errors.h"
#include "tests/support/tempdatadir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QueueJournal::Batch batch(const QByteArray& value, int entries = 2)
{
    QueueJournal::Batch b;
    for (int i = 0; i < entries; ++i)
        b.append({"555", "MSG" + QByteArray::number(i + 1), value + QByteArray::number(i)});
    return b;
}

TEST(QueueJournal, ARecordCutAnywhereOrDamagedAnywhereEndsWhatIsRead)
{
    const QByteArray first = QueueJournal::encode(batch("first"));
    const QByteArray second = QueueJournal::encode(batch("second", 3));
    const QByteArray whole = first + second;
    qsizetype used = -1;
    ASSERT_EQ(QueueJournal::decode(whole, &used),
              (QList<QueueJournal::Batch>{batch("first"), batch("second", 3)}));
    EXPECT_EQ(used, whole.size());

    // A kill in the middle of the second append: the first batch alone, at every cut.
    for (qsizetype cut = first.size(); cut < whole.size(); ++cut) {
        ASSERT_EQ(QueueJournal::decode(whole.left(cut), &used),
                  QList<QueueJournal::Batch>{batch("first")})
            << "cut at " << cut;
        ASSERT_EQ(used, first.size()) << "cut at " << cut;
    }
    // Any byte of the second record changed: its header, its length, its checksum or its data.
    for (qsizetype at = first.size(); at < whole.size(); ++at) {
        QByteArray damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        ASSERT_EQ(QueueJournal::decode(damaged, &used), QList<QueueJournal::Batch>{batch("first")})
            << "byte " << at;
        ASSERT_EQ(used, first.size());
    }
    // Not a journal at all.
    EXPECT_TRUE(QueueJournal::decode("[555]\r\nMSG1=*MSG*hello\r\n", &used).isEmpty());
    EXPECT_EQ(used, 0);
}

TEST(QueueJournal, AfterATornRecordTheNextBatchIsReadBack)
{
    TempDataDir dir;
    const QString path = QueueJournal::pathIn(dir.path());
    {
        QueueJournal journal(path);
        journal.append(batch("kept"));
    }
    // What a kill in the middle of an append leaves at the end.
    const QByteArray torn = QueueJournal::encode(batch("torn")).left(20);
    dir.write(QueueJournal::FileName, dir.read(QueueJournal::FileName) + torn);
    {
        QueueJournal journal(path);
        EXPECT_EQ(journal.load(), QList<QueueJournal::Batch>{batch("kept")});
        journal.append(batch("later"));
    }
    QueueJournal journal(path);
    EXPECT_EQ(journal.load(), (QList<QueueJournal::Batch>{batch("kept"), batch("later")}));
    journal.reset();
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_TRUE(QueueJournal(path).load().isEmpty());
    journal.removeIfEmpty();
    EXPECT_FALSE(dir.exists(QueueJournal::FileName));
}

TEST(QueueJournal, AJournalThatCannotBeWrittenRaises)
{
    TempDataDir dir;
    // A folder where the file should be.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QueueJournal::FileName));
    QueueJournal journal(QueueJournal::pathIn(dir.path()));
    EXPECT_THROW(journal.append(batch("x")), EIniFileError);
}

} // namespace
