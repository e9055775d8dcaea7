#include "foundation/errors.h"
#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

namespace {

class TIniFileTest : public ::testing::Test
{
protected:
    TempDataDir dir;
    QString path() const { return dir.file(QStringLiteral("Message.Dat")); }
};

TEST_F(TIniFileTest, WritesSectionsAndKeysInOrderWithCrLf)
{
    TIniFile ini(path());
    ini.WriteText("555", "Password", "");
    ini.WriteText("555", "Length", "80");
    ini.WriteNumber("555", "Parity", 2);
    ini.WriteText("777", "MSG1", "x");
    ini.WriteText("555", "MSG1", "y");
    ini.WriteText("555", "length", "140"); // in place, other letter case
    EXPECT_EQ(dir.read(QStringLiteral("Message.Dat")),
              QByteArray("[555]\r\nPassword=\r\nLength=140\r\nParity=2\r\nMSG1=y\r\n"
                         "[777]\r\nMSG1=x\r\n"));
    EXPECT_EQ(ini.ReadText("555", "password", "def"), QByteArray());
    EXPECT_EQ(ini.ReadText("555", "Missing", "def"), QByteArray("def"));
    EXPECT_EQ(ini.ReadText("999", "MSG1", "def"), QByteArray("def"));
}

TEST_F(TIniFileTest, ReadEntriesMergesIntoCallersList)
{
    TIniFile ini(path());
    ini.WriteText("S", "Password", "");
    ini.WriteText("S", "Length", "80");
    ini.WriteText("S", "MSG1", "x");
    QList<QByteArray> entries{"length=10", "other=1"};
    ini.ReadEntries("S", entries);
    EXPECT_EQ(entries, (QList<QByteArray>{"Length=80", "other=1", "MSG1=x"}));
}

TEST_F(TIniFileTest, ReadNumberRules)
{
    TIniFile ini(path());
    ini.WriteText("S", "a", "0x1F");
    ini.WriteText("S", "b", "0x");
    ini.WriteText("S", "c", "-5");
    ini.WriteText("S", "d", "12a");
    EXPECT_EQ(ini.ReadNumber("S", "a", 7), 31);
    EXPECT_EQ(ini.ReadNumber("S", "b", 7), 7);
    EXPECT_EQ(ini.ReadNumber("S", "c", 7), -5);
    EXPECT_EQ(ini.ReadNumber("S", "d", 7), 7);
    EXPECT_EQ(ini.ReadNumber("S", "missing", 7), 7);
}

TEST_F(TIniFileTest, ListSectionsTakesAnyLineWithBothBrackets)
{
    dir.write(QStringLiteral("Message.Dat"), "[A]\r\nMSG1=see [note]\r\n[A]\r\n");
    QList<QByteArray> names{"kept"};
    ListSections(path(), names);
    EXPECT_EQ(names, (QList<QByteArray>{"kept", "A", "MSG1=see note", "A"}));
}

TEST_F(TIniFileTest, UnwritableFileRaisesUnableToWrite)
{
    TIniFile ini(dir.file(QStringLiteral("no/such/folder/Message.Dat")));
    try {
        ini.WriteText("S", "k", "v");
        FAIL() << "writing into a missing folder must raise";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + ini.FileName().toLocal8Bit());
    }
}

} // namespace
