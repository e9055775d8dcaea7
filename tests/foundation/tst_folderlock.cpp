#include "foundation/folderlock.h"

#include "tests/support/tempdatadir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Two descriptors on one lock file conflict like two processes do, so one test process can play
// both servers.
TEST(FolderLockTest, OneHolderAtATimeAndTheOtherChangesNothing)
{
    TempDataDir dir;
    const QString path = dir.file(QStringLiteral("zelkor-server.lock"));
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    {
        FolderLock first;
        ASSERT_EQ(first.take(path), FolderLock::Result::Taken) << first.error().toStdString();
        EXPECT_TRUE(first.held());
        EXPECT_EQ(dir.read(QStringLiteral("zelkor-server.lock")), pid);

        FolderLock second;
        EXPECT_EQ(second.take(path), FolderLock::Result::HeldElsewhere);
        EXPECT_FALSE(second.held());
        EXPECT_EQ(second.holder(), ::getpid()) << "the holder is named from the file";
        EXPECT_EQ(dir.read(QStringLiteral("zelkor-server.lock")), pid) << "left as it was";
    }
    // The claim ends with its holder; a file left from an earlier holder is no claim.
    dir.write(QStringLiteral("zelkor-server.lock"), "99999999 from a run killed long ago\n");
    FolderLock next;
    EXPECT_EQ(next.take(path), FolderLock::Result::Taken);
    EXPECT_EQ(dir.read(QStringLiteral("zelkor-server.lock")), pid);
}

TEST(FolderLockTest, ALinkInPlaceOfTheLockFileIsNotFollowed)
{
    TempDataDir dir;
    TempDataDir elsewhere;
    elsewhere.write(QStringLiteral("victim"), "keep me");
    ASSERT_TRUE(QFile::link(elsewhere.file(QStringLiteral("victim")),
                            dir.file(QStringLiteral("zelkor-server.lock"))));
    FolderLock lock;
    EXPECT_EQ(lock.take(dir.file(QStringLiteral("zelkor-server.lock"))),
              FolderLock::Result::Failed);
    EXPECT_FALSE(lock.error().isEmpty());
    EXPECT_EQ(elsewhere.read(QStringLiteral("victim")), "keep me");
}

} // namespace
