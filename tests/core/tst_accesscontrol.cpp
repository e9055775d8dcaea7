#include "core/allowlist.h"
#include "core/ipmatch.h"

#include "foundation/errors.h"
#include "tests/support/tempdatadir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

struct IpCase
{
    const char* address;
    const char* list;
    bool match;
};

TEST(MatchIPList, Table)
{
    const IpCase cases[] = {
        {"10.1.1.5", "", false},
        {"", "*", false},
        {"10.1.1.5", "10.1.1.5", true},
        {"10.1.1.6", "10.1.1.5", false},
        {"10.1.2.77", "10.1.1.5 10.1.2.*", true},
        {"10.1.3.77", "10.1.1.5 10.1.2.*", false},
        {"192.168.7.9", "192.168", true}, // missing trailing parts count as "*"
        {"192.169.7.9", "192.168", false},
        {"10.1.1.5", "*", true},
        {"10.1.1.5", "*.*.*.*", true},
        {"10.1.1.5", "*.1", true},
        {"10.2.1.5", "*.1", false},
        {"10.1.1.5", "010.1.1.5", false},  // text comparison, not numbers
        {"190.1.1.5", "19*.1.1.5", false}, // "*" inside a part is plain text
        {"19*.1.1.5", "19*.1.1.5", true},
        {"10.0.0.3", "10.0.0.1  10.0.0.2", true}, // two blanks: an empty entry between them
        {"10.0.0.3", " 10.0.0.1", true},          // a leading blank: an empty first entry
        {"10.0.0.3", "10.0.0.1 ", false},         // a trailing blank adds nothing
        {"10.1", "10.1", true},                   // missing parts of the address are "*"
        {"10.1", "10.1.*.*", true},
        {"10.1", "10.1.0.0", false},
        {"10.1.1.5\r\n", "10.1.1.5", false}, // the line end stays on the last part
        {"10.1.1.5\r\n", "10.1.1.*", true},
        {"10.1.1.5.99", "10.1.1.5", true}, // text after the fourth part is ignored
        {"10.1.1.5", "10.1.1.5.99", true},
        {"10..1.5", "10.*.1.5", true},
        {"10..1.5", "10.1.1.5", false},
        {"10.1.1.5", "10.1.1.", true},  // nothing left after the last "." is "*"
        {"10.1.1.5", "10.1..5", false}, // an empty part in the middle is ""
    };
    for (const IpCase& c : cases)
        EXPECT_EQ(MatchIPList(c.address, c.list), c.match)
            << "address \"" << c.address << "\" list \"" << c.list << "\"";
}

TEST(MatchIPList, HeloDecisionAcceptListMakesExceptionsToDenyList)
{
    // Deny all but two exceptions.
    const QByteArray accept = "10.1.1.5 10.1.2.*";
    EXPECT_TRUE(AddressAdmitted("10.1.1.5", accept, "*"));
    EXPECT_TRUE(AddressAdmitted("10.1.2.77", accept, "*"));
    EXPECT_FALSE(AddressAdmitted("10.1.1.6", accept, "*"));
    EXPECT_FALSE(AddressAdmitted("192.168.1.1", accept, "*"));
    // A later deny entry still refuses.
    EXPECT_FALSE(AddressAdmitted("192.168.1.5", "", "10.*.*.* 192.168.1.5"));
    EXPECT_TRUE(AddressAdmitted("192.168.1.6", "", "10.*.*.* 192.168.1.5"));
    // Two blanks in the deny list refuse everyone.
    EXPECT_FALSE(AddressAdmitted("172.16.0.1", "", "10.0.0.1  10.0.0.2"));
    // Both lists empty: everyone is admitted.
    EXPECT_TRUE(AddressAdmitted("172.16.0.1", "", ""));
}

struct AllowCase
{
    QList<QByteArray> lines;
    const char* number;
    bool allowed;
};

TEST(AllowList, Table)
{
    const AllowCase cases[] = {
        {{}, "5551234", false},
        {{"555"}, "555", true},
        {{"555"}, "5551234", true},
        {{"555"}, "(555) 123-4567", true},
        {{"555"}, "55", false},
        {{"555"}, "5 5 5", true},
        {{"555"}, "1555", false},
        {{"555-1234"}, "555-1234", false}, // a line with punctuation never matches
        {{"555 "}, "555 1234", false},     // nor one with a trailing blank
        {{"777", ""}, "123", true},        // a blank line allows everything
        {{"", "777"}, "", true},
        {{"abc"}, "ABC-1", true}, // letter case does not count
        {{"777", "555"}, "5559", true},
        {{"1800"}, "1-800-555", true},
    };
    for (const AllowCase& c : cases) {
        EXPECT_EQ(AllowList::allows(c.lines, c.number), c.allowed)
            << "number \"" << c.number << "\" against " << c.lines.size() << " line(s), first \""
            << (c.lines.isEmpty() ? "" : c.lines.first().constData()) << "\"";
    }
    EXPECT_EQ(AllowList::normalizeNumber("(555) 123-4567"), QByteArray("5551234567"));
    EXPECT_EQ(AllowList::normalizeNumber("1,555#\t"), QByteArray("1,555#\t"));
}

TEST(AllowListFile, MissingOrEmptyFileAllowsNothing)
{
    TempDataDir dir;
    EXPECT_TRUE(AllowList::load(dir.path()).isEmpty());
    dir.write(AllowList::FileName, "");
    EXPECT_TRUE(AllowList::load(dir.path()).isEmpty());
    EXPECT_FALSE(AllowList::allows(AllowList::load(dir.path()), "5551234"));
}

TEST(AllowListFile, ReadsAnyLineEndAndFindsTheFileInAnyLetterCase)
{
    TempDataDir dir;
    dir.write(QStringLiteral("ALLOW.TXT"), "555\r\n777\n888\r999");
    EXPECT_EQ(AllowList::load(dir.path()), (QList<QByteArray>{"555", "777", "888", "999"}));

    // Saving replaces the file that is there, whatever its spelling, and writes CR LF lines.
    AllowList::save(dir.path(), {"123", "", "456"});
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{QStringLiteral("ALLOW.TXT")});
    EXPECT_EQ(dir.read(QStringLiteral("ALLOW.TXT")), QByteArray("123\r\n\r\n456\r\n"));
    EXPECT_EQ(AllowList::load(dir.path()), (QList<QByteArray>{"123", "", "456"}));
}

TEST(AllowListFile, SaveCreatesOneFileThatStartUpFinds)
{
    TempDataDir dir;
    AllowList::save(dir.path(), {"555"});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(AllowList::load(dir.path()), QList<QByteArray>{"555"});

    // An empty list saves an empty file, which allows nothing.
    AllowList::save(dir.path(), {});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(AllowList::load(dir.path()).isEmpty());
}

TEST(AllowListFile, FailedSaveRaises)
{
    TempDataDir dir;
    const QString missing = dir.file(QStringLiteral("gone"));
    EXPECT_THROW(AllowList::save(missing, {"555"}), EZelkorError);
    EXPECT_FALSE(QFile::exists(missing));
}

} // namespace
