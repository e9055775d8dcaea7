#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/tinifile.h"
#include "tests/support/smallfilesystem.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

// A queue that grows entry by entry until the disk is full: every entry written before the
// failing one stays in the file byte for byte, and the failing write raises the store's error.
TEST(FullFileSystem, QueueWritesRaiseAndKeepEveryEarlierEntry)
{
    SmallFileSystem fs(64 * 1024);
    const QString queue = fs.file(QStringLiteral("Message.Dat"));
    TIniFile ini(queue);
    QByteArray lastGood;
    bool raised = false;
    for (int n = 1; n <= 2000 && !raised; ++n) {
        try {
            ini.WriteText("555", "MSG" + QByteArray::number(n),
                          "*MSG*" + QByteArray(200, 'a' + n % 26) + "*PIN*1*USR*u*ID*i");
            lastGood = readAll(queue);
        } catch (const EIniFileError& error) {
            raised = true;
            EXPECT_EQ(error.message(), "Unable to write to " + QFile::encodeName(queue));
        }
    }
    ASSERT_TRUE(raised) << "the small file system never filled up";
    ASSERT_GT(lastGood.size(), 1000);
    EXPECT_EQ(readAll(queue), lastGood) << "a failed write must leave the old queue whole";
    EXPECT_EQ(leftovers(fs.path()), QStringList{QStringLiteral("Message.Dat")})
        << "no temporary file may stay behind";
}

TEST(FullFileSystem, FailedRewriteLeavesOldBytesAndPermissions)
{
    SmallFileSystem fs(32 * 1024);
    const QString path = fs.file(QStringLiteral("Server.Dat"));
    const QByteArray old(944, '\x07');
    ASSERT_TRUE(FileStore::writeAtomically(path, old));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_FALSE(FileStore::writeAtomically(path, QByteArray(256 * 1024, 'x')));
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(leftovers(fs.path()), QStringList{QStringLiteral("Server.Dat")});
    // A rewrite that fits keeps the file's permissions.
    ASSERT_TRUE(FileStore::writeAtomically(path, QByteArray(944, '\x01')));
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // A rewrite small enough for any write buffer, on a disk with no room left: the failure
    // shows only when the data is flushed, and must still keep the old file.
    const QByteArray current = readAll(path);
    fs.fill();
    EXPECT_FALSE(FileStore::writeAtomically(path, QByteArray(944, '\x02')));
    EXPECT_EQ(readAll(path), current);
}
