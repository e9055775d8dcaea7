#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/tinifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A data folder and a folder elsewhere that holds the real lists, as when the lists are shared
// from another folder through symbolic links.
class SharedFileWrites : public ::testing::Test
{
protected:
    QTemporaryDir data;
    QTemporaryDir shared;

    static QString in(const QTemporaryDir& dir, const char* name)
    {
        return dir.path() + QLatin1Char('/') + QLatin1String(name);
    }
    static void link(const QString& target, const QString& at)
    {
        ASSERT_EQ(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()), 0)
            << "cannot make the link " << at.toStdString();
    }
    static QString linkTarget(const QString& at)
    {
        QByteArray target(4096, '\0');
        const ssize_t length =
            ::readlink(QFile::encodeName(at).constData(), target.data(), target.size());
        return length < 0 ? QStringLiteral("<no link>") : QFile::decodeName(target.left(length));
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QStringList entries(const QTemporaryDir& dir)
    {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }
};

// The user file of the data folder links to a link in the shared folder, which names the real
// list relative to itself: every write goes to the real list, both links stay as they were,
// and no temporary file is left in either folder.
TEST_F(SharedFileWrites, AChainOfLinksIsWrittenThroughAndStaysLinks)
{
    const QString real = in(shared, "users.lst");
    write(real, "[Zoe]\r\nPIN=9\r\n");
    link(QStringLiteral("users.lst"), in(shared, "current"));
    const QString userFile = in(data, "sUser.Dat");
    link(in(shared, "current"), userFile);

    TIniFile ini(userFile);
    ini.WriteText("Al", "PIN", "42");
    ini.WriteText("Zoe", "PIN", "10");
    ini.DeleteSection("Al");
    ini.WriteText("Bo", "PIN", "7");

    EXPECT_EQ(read(real), "[Zoe]\r\nPIN=10\r\n[Bo]\r\nPIN=7\r\n");
    EXPECT_TRUE(QFileInfo(userFile).isSymLink()) << "the data folder's link became a plain file";
    EXPECT_EQ(linkTarget(userFile), in(shared, "current"));
    EXPECT_EQ(linkTarget(in(shared, "current")), QStringLiteral("users.lst"));
    EXPECT_EQ(entries(data), QStringList{QStringLiteral("sUser.Dat")});
    EXPECT_EQ(entries(shared),
              (QStringList{QStringLiteral("current"), QStringLiteral("users.lst")}));
}

// A link whose list does not exist yet: the first write creates the list where the link points,
// with the permissions a plain new file gets. A link into a folder that is not there is a write
// failure that leaves the link alone.
TEST_F(SharedFileWrites, ADanglingLinkGetsItsTargetCreated)
{
    const QString groupFile = in(data, "sGroup.Dat");
    link(in(shared, "groups.lst"), groupFile);
    TIniFile(groupFile).WriteText("Team", "User0", "Al");
    EXPECT_EQ(read(in(shared, "groups.lst")), "[Team]\r\nUser0=Al\r\n");
    EXPECT_TRUE(QFileInfo(groupFile).isSymLink());
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(in(shared, "groups.lst")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666 & ~mask);

    const QString nowhere = in(data, "Provider.dat");
    link(in(shared, "gone/Provider.dat"), nowhere);
    EXPECT_FALSE(FileStore::writeAtomically(nowhere, "[Acme]\r\n"));
    EXPECT_EQ(linkTarget(nowhere), in(shared, "gone/Provider.dat"));
    EXPECT_EQ(entries(data),
              (QStringList{QStringLiteral("Provider.dat"), QStringLiteral("sGroup.Dat")}));
}

// Links that name each other lead to no file: the write fails with the store's error and
// neither link is replaced.
TEST_F(SharedFileWrites, LinksInALoopAreAWriteFailure)
{
    const QString first = in(data, "sUser.Dat");
    const QString second = in(shared, "loop");
    link(second, first);
    link(first, second);
    try {
        TIniFile(first).WriteText("Al", "PIN", "42");
        ADD_FAILURE() << "a write through a loop of links did not fail";
    } catch (const EIniFileError& error) {
        EXPECT_EQ(error.message(), "Unable to write to " + QFile::encodeName(first));
    }
    EXPECT_EQ(linkTarget(first), second);
    EXPECT_EQ(linkTarget(second), first);
    EXPECT_EQ(entries(data), QStringList{QStringLiteral("sUser.Dat")});
    EXPECT_EQ(entries(shared), QStringList{QStringLiteral("loop")});
}

// A list that belongs to another user and group, readable by the group only: after writes by
// the server (root here), directly and through a link, it still belongs to them with the same
// permissions.
TEST_F(SharedFileWrites, AForeignOwnedFileKeepsOwnerGroupAndMode)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    const passwd* nobody = ::getpwnam("nobody");
    const group* nogroup = ::getgrnam("nogroup");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nogroup ? nogroup->gr_gid : 65534;
    ASSERT_NE(uid, ::geteuid());

    const QString real = in(shared, "users.lst");
    write(real, "[Zoe]\r\nPIN=9\r\n");
    const QByteArray realName = QFile::encodeName(real);
    ASSERT_EQ(::chown(realName.constData(), uid, gid), 0);
    ASSERT_EQ(::chmod(realName.constData(), 0640), 0);
    const QString userFile = in(data, "sUser.Dat");
    link(real, userFile);

    const auto expectForeign = [&](const char* after) {
        struct stat info;
        ASSERT_EQ(::stat(realName.constData(), &info), 0);
        EXPECT_EQ(info.st_uid, uid) << "owner changed " << after;
        EXPECT_EQ(info.st_gid, gid) << "group changed " << after;
        EXPECT_EQ(info.st_mode & 07777, 0640u) << "permissions changed " << after;
    };
    TIniFile(real).WriteText("Al", "PIN", "42");
    expectForeign("by a direct write");
    TIniFile(userFile).DeleteSection("Zoe");
    expectForeign("by a write through the link");
    ASSERT_TRUE(FileStore::writeAtomically(real, "[Bo]\r\nPIN=7\r\n"));
    expectForeign("by a whole rewrite");
    EXPECT_EQ(read(real), "[Bo]\r\nPIN=7\r\n");
    EXPECT_TRUE(QFileInfo(userFile).isSymLink());
}

} // namespace
