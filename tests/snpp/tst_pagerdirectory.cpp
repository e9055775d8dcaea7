#include "snpp/pagerdirectory.h"
#include "snpp/snppsettings.h"

#include "directories/sharedpaths.h"
#include "directories/shareduserfile.h"
#include "foundation/errors.h"
#include "tests/snpp/printbytes.h"
#include "tests/support/tempdatadir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class PagerDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.write(SharedPaths::ProviderFileName,
                  "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=pw\r\nLength=80\r\n"
                  "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n"
                  "[Hand Edited]\r\nAccess Number=5559999\r\nLength=100\r\nParity=7\r\n");
        dir.write(QStringLiteral("sUser.Dat"), "[Alice]\r\nPIN=1001\r\nPROVIDER=metro paging\r\n"
                                               "[Bob]\r\nPIN=1002\r\nPROVIDER=Hand Edited\r\n"
                                               "[Carol]\r\nPIN=1003\r\nPROVIDER=Metro Paging\r\n"
                                               "[Dave]\r\nPIN=1004\r\nPROVIDER=Gone Paging\r\n"
                                               "[Erin]\r\nPIN=\r\nPROVIDER=Metro Paging\r\n");
        dir.write(QStringLiteral("sGroup.Dat"),
                  "[Ops]\r\nUser0=Alice\r\nUser1=Bob\r\nUser2=Carol\r\n"
                  "[Stale]\r\nUser0=Alice\r\nUser1=Zed\r\n"
                  "[Alice]\r\nUser0=Bob\r\nUser1=Carol\r\n");
    }

    TempDataDir dir;
    PagerDirectory directory = PagerDirectory::fromSettings("sUser.Dat", "sGroup.Dat", dir.path());
};

TEST_F(PagerDirectoryTest, UsersGroupsAndPinAtCompanyResolveWithoutRegardToLetterCase)
{
    const PagerLookup alice = directory.resolve("ALICE");
    ASSERT_EQ(alice.targets.size(), 1) << "a user wins over a group of the same name";
    EXPECT_EQ(alice.targets[0].pin, "1001");
    EXPECT_EQ(alice.targets[0].company.AccessNumber, "5551234");
    EXPECT_EQ(alice.targets[0].company.Password, "pw");
    EXPECT_EQ(alice.targets[0].company.Length, "80");

    const PagerLookup ops = directory.resolve("ops");
    ASSERT_EQ(ops.targets.size(), 3);
    EXPECT_EQ(ops.targets[1].pin, "1002");
    // The company as its dialog shows it: values no reader understands are not dialled with.
    EXPECT_EQ(ops.targets[1].company.Length, "80");
    EXPECT_EQ(ops.targets[1].company.Parity, 2);
    EXPECT_EQ(ops.targets[2].pin, "1003");

    const PagerLookup direct = directory.resolve("4242@METRO PAGING");
    ASSERT_EQ(direct.targets.size(), 1);
    EXPECT_EQ(direct.targets[0].pin, "4242");
    EXPECT_EQ(direct.targets[0].company.AccessNumber, "5551234");
}

TEST_F(PagerDirectoryTest, WhatCannotBePagedWholeIsRefusedWithItsReason)
{
    const struct
    {
        QByteArray id;
        QByteArray failure;
    } cases[] = {
        {"nobody", ""},
        {"", ""},
        {"Dave", "No Paging Company For Dave"},
        {"erin", "No PIN For erin"},
        {"stale", "Group stale: Unknown User Zed"},
        {"4242@Nowhere", "Unknown Paging Company Nowhere"},
        {"@Metro Paging", ""},
    };
    for (const auto& c : cases) {
        const PagerLookup lookup = directory.resolve(c.id);
        EXPECT_FALSE(lookup.found()) << c.id.data();
        EXPECT_EQ(lookup.failure, c.failure) << c.id.data();
    }
}

// A group far beyond the platform's 8 KiB key list is paged whole: every member, in order. The
// lists are read once for the lookup, and kept while they are unchanged; an edit (here one in
// place that keeps the file's size) counts from the next lookup.
TEST_F(PagerDirectoryTest, ALargeGroupResolvesWholeAndEditsCountFromTheNextLookup)
{
    constexpr int Members = 1500;
    QByteArray users = "[Alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n";
    QByteArray group = "[Everyone]\r\n";
    for (int i = 0; i < Members; ++i) {
        const QByteArray name = "user" + QByteArray::number(i);
        users += "[" + name + "]\r\nPIN=" + QByteArray::number(100000 + i) +
                 "\r\nPROVIDER=Metro Paging\r\n";
        group += "User" + QByteArray::number(i) + "=" + name + "\r\n";
    }
    dir.write(QStringLiteral("sUser.Dat"), users);
    dir.write(QStringLiteral("sGroup.Dat"), group);
    // Left alone for an hour: the directory may keep what it read.
    for (const char* name : {"sUser.Dat", "sGroup.Dat", "Provider.dat"}) {
        QFile file(dir.file(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    }

    PagerLookup everyone = directory.resolve("everyone");
    ASSERT_EQ(everyone.targets.size(), Members) << everyone.failure.data();
    EXPECT_EQ(everyone.targets.front().pin, "100000");
    EXPECT_EQ(everyone.targets.back().pin, QByteArray::number(100000 + Members - 1));
    EXPECT_EQ(directory.resolve("alice").targets.front().pin, "1001");

    {
        QFile file(dir.file(QStringLiteral("sUser.Dat")));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(users.indexOf("1001"));
        file.write("2002");
    }
    EXPECT_EQ(directory.resolve("alice").targets.front().pin, "2002");
    everyone = directory.resolve("everyone");
    ASSERT_EQ(everyone.targets.size(), Members);

    // A member taken out of the user list makes the group unpageable at once.
    SharedUserFile(dir.file(QStringLiteral("sUser.Dat"))).remove("user700");
    EXPECT_EQ(directory.resolve("everyone").failure, "Group everyone: Unknown User user700");
}

TEST(SnppSettingsTest, FileAndCommandLine)
{
    TempDataDir dir;
    EXPECT_EQ(SnppSettings::load(dir.path()), SnppSettings{}) << "off at port 444 without a file";
    const QStringList program{QStringLiteral("zelkor-server")};
    EXPECT_FALSE(SnppSettings::fromArguments(program, {}));
    const auto on = SnppSettings::fromArguments(
        program + QStringList{QStringLiteral("--snpp-port"), QStringLiteral("2444")}, {});
    ASSERT_TRUE(on);
    EXPECT_EQ(*on, (SnppSettings{true, 2444}));
    EXPECT_EQ(
        SnppSettings::fromArguments(program + QStringList{QStringLiteral("--snpp-port=0")}, *on),
        (SnppSettings{false, 2444}));
    for (const char* bad : {"65536", "-1", "44x", "", "0x1bc"})
        EXPECT_THROW(
            SnppSettings::fromArguments(
                program + QStringList{QStringLiteral("--snpp-port"), QString::fromLatin1(bad)}, {}),
            EZelkorError)
            << bad;
    EXPECT_THROW(
        SnppSettings::fromArguments(program + QStringList{QStringLiteral("--snpp-port")}, {}),
        EZelkorError);

    EXPECT_FALSE(SnppSettings::applyArguments(
        program + QStringList{QStringLiteral("--snpp-port"), QStringLiteral("2445")}, dir.path()));
    EXPECT_EQ(SnppSettings::load(dir.path()), (SnppSettings{true, 2445}));
    dir.write(SnppSettings::FileName, "[SNPP]\r\nEnabled=1\r\nPort=99999\r\n");
    EXPECT_EQ(SnppSettings::load(dir.path()), (SnppSettings{true, 444}));
}

// The gateway follows only a file that says something it can use; no file is "off".
TEST(SnppSettingsTest, ReadTellsNoFileFromAFileThatCannotBeUsed)
{
    TempDataDir dir;
    QString problem;
    EXPECT_EQ(SnppSettings::read(dir.path(), problem), SnppSettings{});
    EXPECT_TRUE(problem.isEmpty());

    const struct
    {
        QByteArray bytes;
        std::optional<SnppSettings> settings;
        const char* problem;
    } files[] = {
        {"[SNPP]\r\nEnabled=1\r\nPort=2445\r\n", SnppSettings{true, 2445}, ""},
        {"[snpp]\r\nport = 2445 \r\nenabled= 0\r\n", SnppSettings{false, 2445}, ""},
        {"[SNPP]\r\nEnabled=1\r\n", SnppSettings{true, 444}, ""},
        {"[SNPP]\r\nEnabled=1\r\nPort=99999\r\n", {}, "Port=99999 is not a port number"},
        {"[SNPP]\r\nEnabled=1\r\nPort=0x1bc\r\n", {}, "Port=0x1bc is not a port number"},
        {"[SNPP]\r\nEnabled=2\r\nPort=2445\r\n", {}, "Enabled=2 is neither 0 nor 1"},
        {"[SNPP]\r\n", {}, "holds no [SNPP] settings"},
        {"", {}, "holds no [SNPP] settings"},
        {"\x89PNG\r\n\x1a\n\xff\xfe[SN\x01", {}, "holds no [SNPP] settings"},
        {"[Other]\r\nEnabled=1\r\nPort=2445\r\n", {}, "holds no [SNPP] settings"},
    };
    for (const auto& file : files) {
        dir.write(SnppSettings::FileName, file.bytes);
        problem.clear();
        EXPECT_EQ(SnppSettings::read(dir.path(), problem), file.settings) << file.bytes.constData();
        EXPECT_TRUE(problem.contains(QString::fromLatin1(file.problem)))
            << file.bytes.constData() << ": " << problem.toStdString();
        EXPECT_EQ(problem.isEmpty(), file.settings.has_value()) << file.bytes.constData();
    }

    ASSERT_TRUE(QFile::remove(dir.file(SnppSettings::FileName)));
    ASSERT_TRUE(QDir(dir.path()).mkdir(SnppSettings::FileName));
    EXPECT_FALSE(SnppSettings::read(dir.path(), problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("could not be read"))) << problem.toStdString();
    // A link to a file that is gone is no missing file: the settings live elsewhere.
    ASSERT_TRUE(QDir(dir.path()).rmdir(SnppSettings::FileName));
    ASSERT_TRUE(QFile::link(dir.file(QStringLiteral("gone")), dir.file(SnppSettings::FileName)));
    problem.clear();
    EXPECT_FALSE(SnppSettings::read(dir.path(), problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("does not exist"))) << problem.toStdString();
}

} // namespace
