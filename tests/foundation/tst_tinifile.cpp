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

TEST_F(TIniFileTest, LongValuesReadBackCutTo1023Characters)
{
    TIniFile ini(path());
    const QByteArray value(1100, 'v');
    ini.WriteText("S", "Long", value);
    EXPECT_TRUE(dir.read(QStringLiteral("Message.Dat")).contains(value));
    EXPECT_EQ(ini.ReadText("S", "Long", "def"), value.left(1023));
    EXPECT_EQ(ini.ReadNumber("S", "Long", -1), -1);
}

TEST_F(TIniFileTest, RewritingKeepsKeyOrderAndNewKeysGoLast)
{
    TIniFile ini(path());
    ini.WriteText("S", "A", "1");
    ini.WriteText("S", "B", "2");
    ini.WriteText("T", "X", "x");
    ini.WriteText("S", "A", "3");
    ini.WriteText("S", "A", "4");
    ini.WriteText("s", "C", "5");
    QList<QByteArray> keys{"stale"};
    ini.ReadKeys("S", keys);
    EXPECT_EQ(keys, (QList<QByteArray>{"A", "B", "C"}));
    EXPECT_EQ(ini.ReadText("S", "a", ""), "4");
    ini.ReadKeys("Missing", keys);
    EXPECT_TRUE(keys.isEmpty());
}

TEST_F(TIniFileTest, NewKeyLandsAfterTheLastEntryNotAfterBlankLines)
{
    dir.write(QStringLiteral("Message.Dat"), "[A]\r\nk=1\r\n\r\n[B]\r\nm=2\r\n");
    TIniFile ini(path());
    ini.WriteText("A", "n", "3");
    ini.WriteText("C", "o", "");
    EXPECT_EQ(dir.read(QStringLiteral("Message.Dat")),
              QByteArray("[A]\r\nk=1\r\nn=3\r\n\r\n[B]\r\nm=2\r\n[C]\r\no=\r\n"));
    EXPECT_EQ(ini.ReadText("C", "o", "def"), QByteArray());
}

TEST_F(TIniFileTest, KeyListStopsAt8192Bytes)
{
    // 7-character names take 8 bytes each: 1023 fit whole, the 1024th comes back cut to the
    // 6 characters left before the list's closing zeros, and the rest are left out.
    QByteArray text = "[S]\r\n";
    for (int i = 1; i <= 1100; ++i)
        text += "Key" + QByteArray::number(i).rightJustified(4, '0') + "=v\r\n";
    dir.write(QStringLiteral("Message.Dat"), text);
    TIniFile ini(path());
    QList<QByteArray> keys;
    ini.ReadKeys("S", keys);
    ASSERT_EQ(keys.size(), 1024);
    EXPECT_EQ(keys[1022], "Key1023");
    EXPECT_EQ(keys[1023], "Key102");
    QList<QByteArray> entries;
    ini.ReadEntries("S", entries);
    EXPECT_EQ(entries.size(), 1023); // the cut name names no key, so its value is empty
    EXPECT_EQ(entries.last(), "Key1023=v");
}

TEST_F(TIniFileTest, ReadEntriesDropsLinesOfEmptyValues)
{
    TIniFile ini(path());
    ini.WriteText("S", "Password", "");
    ini.WriteText("S", "Length", "80");
    ini.WriteText("S", "MSG1", "x");
    QList<QByteArray> entries{"PASSWORD=old"};
    ini.ReadEntries("S", entries);
    EXPECT_EQ(entries, (QList<QByteArray>{"Length=80", "MSG1=x"}));
}

TEST_F(TIniFileTest, DeleteSectionRemovesHeaderAndEntriesOnly)
{
    dir.write(QStringLiteral("Message.Dat"), "[A]\r\nk=1\r\n[B]\r\nm=2\r\n[C]\r\nn=3\r\n");
    TIniFile ini(path());
    ini.DeleteSection("missing");
    EXPECT_EQ(dir.read(QStringLiteral("Message.Dat")),
              QByteArray("[A]\r\nk=1\r\n[B]\r\nm=2\r\n[C]\r\nn=3\r\n"));
    ini.DeleteSection("b");
    EXPECT_EQ(dir.read(QStringLiteral("Message.Dat")), QByteArray("[A]\r\nk=1\r\n[C]\r\nn=3\r\n"));
    TIniFile none(dir.file(QStringLiteral("none.Dat")));
    none.DeleteSection("A");
    EXPECT_FALSE(dir.exists(QStringLiteral("none.Dat")));
}

TEST_F(TIniFileTest, TwoStoresOnOneFileSeeEachOthersChanges)
{
    TIniFile first(path());
    TIniFile second(path());
    first.WriteText("S", "MSG1", "a");
    EXPECT_EQ(second.ReadText("S", "MSG1", ""), "a");
    second.WriteNumber("S", "Count", -12);
    EXPECT_EQ(first.ReadNumber("S", "Count", 0), -12);
    QList<QByteArray> sections;
    ListSections(path(), sections);
    EXPECT_EQ(sections, QList<QByteArray>{"S"});
}

TEST_F(TIniFileTest, ReadsDoNotCreateTheFile)
{
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadText("S", "k", "d"), "d");
    EXPECT_EQ(ini.ReadNumber("S", "k", 3), 3);
    QList<QByteArray> sections;
    ListSections(path(), sections);
    EXPECT_TRUE(sections.isEmpty());
    EXPECT_FALSE(dir.exists(QStringLiteral("Message.Dat")));
}

} // namespace
