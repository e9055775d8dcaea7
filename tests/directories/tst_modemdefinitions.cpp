#include "directories/modemdefinitions.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

namespace {

TEST(ModemDefinitions, NoFileMeansNoNamesAndNoValues)
{
    TempDataDir dir;
    const ModemDefinitions modems(dir.path());
    EXPECT_FALSE(modems.hasFile());
    EXPECT_TRUE(modems.names().isEmpty());
    EXPECT_FALSE(modems.settingsOf("Generic Modem").has_value());
}

TEST(ModemDefinitions, NamesComeInFileOrderAndValuesWithTheirDefaults)
{
    TempDataDir dir;
    dir.write(QStringLiteral("Modems.Dat"), "[US Robotics]\r\nInitString=AT&F1\r\nSpeed=9600\r\n"
                                            "[Bare Modem]\r\n"
                                            "[Odd Speed]\r\nSpeed=9600 bps\r\n");
    const ModemDefinitions modems(dir.path());
    ASSERT_TRUE(modems.hasFile());
    EXPECT_EQ(modems.names(), (QList<QByteArray>{"US Robotics", "Bare Modem", "Odd Speed"}));

    const auto robotics = modems.settingsOf("us robotics");
    ASSERT_TRUE(robotics.has_value());
    EXPECT_EQ(robotics->InitString, "AT&F1");
    EXPECT_EQ(ModemDefinitions::speedIndex(robotics->Speed), 6);

    const auto bare = modems.settingsOf("Bare Modem");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->InitString, "ATE1V1&M0");
    EXPECT_EQ(bare->Speed, "2400");
    EXPECT_EQ(ModemDefinitions::speedIndex(bare->Speed), 4);

    EXPECT_EQ(ModemDefinitions::speedIndex(modems.settingsOf("Odd Speed")->Speed), -1);
}

TEST(ModemDefinitions, NamesAreReadOnceButValuesAtEveryLookup)
{
    TempDataDir dir;
    dir.write(QStringLiteral("Modems.Dat"), "[A]\r\nInitString=ATA\r\n");
    const ModemDefinitions modems(dir.path());
    dir.write(QStringLiteral("Modems.Dat"), "[A]\r\nInitString=ATB\r\n[B]\r\n");
    EXPECT_EQ(modems.names(), QList<QByteArray>{"A"});
    EXPECT_EQ(modems.settingsOf("A")->InitString, "ATB");
}

TEST(ModemDefinitions, SpeedListHasThirteenRatesAndAnEmptyLastEntry)
{
    const QList<QByteArray>& speeds = ModemDefinitions::speedList();
    ASSERT_EQ(speeds.size(), 14);
    EXPECT_EQ(speeds.first(), "110");
    EXPECT_EQ(speeds[12], "115200");
    EXPECT_TRUE(speeds.last().isEmpty());
    EXPECT_EQ(ModemDefinitions::speedIndex("2400 "), -1);
}

} // namespace
