#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QList<std::pair<QByteArray, QByteArray>> Entries = {
    {"Password", ""}, {"Length", "80"}, {"parity", "2"}, {"MSG3", "*MSG*m*PIN*1*USR*u*ID*i"}};

QByteArray writeOneByOne(const TempDataDir& dir, const QByteArray& start, const QByteArray& section)
{
    dir.write(QStringLiteral("one.Dat"), start);
    TIniFile ini(dir.file(QStringLiteral("one.Dat")));
    for (const auto& [key, value] : Entries)
        ini.WriteText(section, key, value);
    return dir.read(QStringLiteral("one.Dat"));
}

QByteArray writeTogether(const TempDataDir& dir, const QByteArray& start, const QByteArray& section)
{
    dir.write(QStringLiteral("all.Dat"), start);
    TIniFile(dir.file(QStringLiteral("all.Dat"))).WriteTexts(section, Entries);
    return dir.read(QStringLiteral("all.Dat"));
}

} // namespace

TEST(TIniFileWriteTexts, GivesTheFileThatWritingEachEntryInTurnGives)
{
    TempDataDir dir;
    const QByteArray existing =
        "[555]\r\nLength=140\r\nParity=0\r\nMSG1=x\r\n\r\n[777]\r\nMSG1=y\r\n";
    for (const QByteArray& start : {QByteArray(), existing}) {
        for (const QByteArray& section : {QByteArray("555"), QByteArray("999")}) {
            const QByteArray expected = writeOneByOne(dir, start, section);
            EXPECT_EQ(writeTogether(dir, start, section).toStdString(), expected.toStdString())
                << "section " << section.toStdString() << " in a file of " << start.size()
                << " bytes";
        }
    }
    // Existing keys keep their places and spelling; new ones follow the section's last entry.
    EXPECT_EQ(writeTogether(dir, existing, "555").toStdString(),
              "[555]\r\nLength=80\r\nParity=2\r\nMSG1=x\r\nPassword=\r\n"
              "MSG3=*MSG*m*PIN*1*USR*u*ID*i\r\n\r\n[777]\r\nMSG1=y\r\n");
}
