#include "core/configfile.h"
#include "core/serverconfig.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/smallfilesystem.h"
#include "tests/support/tempdatadir.h"

#include <QFile>
#include <QtEndian>

#include <limits>

#include <gtest/gtest.h>

namespace {

qint32 intAt(const QByteArray& record, int offset)
{
    return qFromLittleEndian<qint32>(record.constData() + offset);
}

// The short string at `offset`: its length byte and that many characters.
QByteArray stringAt(const QByteArray& record, int offset)
{
    return record.mid(offset + 1, static_cast<quint8>(record[offset]));
}

TEST(ServerConfigRecord, DefaultsSitAtTheirOffsets)
{
    const QByteArray record = TServerConfig::defaults(QStringLiteral("/data")).toRecord();
    ASSERT_EQ(record.size(), 944);
    EXPECT_EQ(intAt(record, 0), 5);
    EXPECT_EQ(record[4], 1);
    EXPECT_EQ(record[5], 0);
    EXPECT_EQ(stringAt(record, 6), "Generic Modem");
    EXPECT_EQ(stringAt(record, 37), "ATE1V1&M0");
    EXPECT_EQ(record.mid(138, 2), QByteArray(2, '\0'));
    EXPECT_EQ(intAt(record, 140), 1);
    EXPECT_EQ(intAt(record, 144), 4);
    EXPECT_EQ(intAt(record, 148), 1);
    EXPECT_EQ(record.mid(152, 24), QByteArray(24, '\0'));
    EXPECT_EQ(intAt(record, 176), 2);
    EXPECT_EQ(intAt(record, 180), 3);
    EXPECT_EQ(intAt(record, 184), 0);
    EXPECT_EQ(record.mid(188, 22), QByteArray(22, '\0'));
    EXPECT_EQ(record[210], 1);
    EXPECT_EQ(stringAt(record, 211), "5612");
    EXPECT_EQ(stringAt(record, 237), "");
    EXPECT_EQ(stringAt(record, 438), "");
    EXPECT_EQ(stringAt(record, 639), "/data/sUser.Dat");
    EXPECT_EQ(stringAt(record, 790), "/data/sGroup.Dat");
    EXPECT_EQ(record.mid(941), QByteArray(3, '\0'));
}

TEST(ServerConfigRecord, EveryFieldRoundTripsThroughItsOwnBytes)
{
    TServerConfig config = TServerConfig::defaults(QStringLiteral("/d"));
    config.QueTime = 999;
    config.SystemTray = false;
    config.Logging = true;
    config.ModemType = QByteArray(30, 'm');
    config.InitString = QByteArray(100, 'i');
    config.ComPort = -1;
    config.ComPortSpeed = 13;
    config.FlowControl = 3;
    config.Port = QByteArray(25, 'p');
    config.IPDeny = QByteArray(200, 'd');
    config.IPAccept = QByteArray(200, 'a');
    config.UserFile = QByteArray(150, 'u');
    config.GroupFile = QByteArray(150, 'g');
    const QByteArray record = config.toRecord();
    ASSERT_EQ(record.size(), 944);
    // Fields filled to capacity end exactly where the next one starts.
    EXPECT_EQ(stringAt(record, 6), QByteArray(30, 'm'));
    EXPECT_EQ(record[37], 100);
    EXPECT_EQ(intAt(record, 140), -1);
    EXPECT_EQ(record[211], 25);
    EXPECT_EQ(record[237], static_cast<char>(200));
    EXPECT_EQ(stringAt(record, 790), QByteArray(150, 'g'));
    EXPECT_EQ(record.mid(941), QByteArray(3, '\0'));

    const TServerConfig back = TServerConfig::fromRecord(record);
    EXPECT_EQ(back.QueTime, 999);
    EXPECT_FALSE(back.SystemTray);
    EXPECT_TRUE(back.Logging);
    EXPECT_EQ(back.ModemType, config.ModemType);
    EXPECT_EQ(back.InitString, config.InitString);
    EXPECT_EQ(back.ComPort, -1);
    EXPECT_EQ(back.ComPortSpeed, 13);
    EXPECT_EQ(back.FlowControl, 3);
    EXPECT_EQ(back.Port, config.Port);
    EXPECT_EQ(back.IPDeny, config.IPDeny);
    EXPECT_EQ(back.IPAccept, config.IPAccept);
    EXPECT_EQ(back.UserFile, config.UserFile);
    EXPECT_EQ(back.GroupFile, config.GroupFile);
}

TEST(ServerConfigRecord, ReservedBytesAndPaddingAreCarriedThrough)
{
    QByteArray record = TServerConfig::defaults(QStringLiteral("/d")).toRecord();
    record[138] = 'x';
    record[160] = 'y';
    qToLittleEndian<qint32>(77, record.data() + 184);
    record[199] = 'z';
    record[943] = 'w';
    TServerConfig config = TServerConfig::fromRecord(record);
    config.Port = "80";
    const QByteArray saved = config.toRecord();
    EXPECT_EQ(saved[138], 'x');
    EXPECT_EQ(saved[160], 'y');
    EXPECT_EQ(intAt(saved, 184), 77);
    EXPECT_EQ(saved[199], 'z');
    EXPECT_EQ(saved[943], 'w');
    EXPECT_EQ(stringAt(saved, 211), "80");
}

TEST(ServerConfigRecord, DamagedLengthBytesNeverReadIntoTheNextField)
{
    QByteArray record = TServerConfig::defaults(QStringLiteral("/d")).toRecord();
    record[211] = static_cast<char>(255); // Port claims 255 characters in a 25-character field
    const TServerConfig config = TServerConfig::fromRecord(record);
    EXPECT_EQ(config.Port.size(), 25);
    EXPECT_TRUE(config.Port.startsWith("5612"));
}

TEST(ServerConfigRecord, LongValuesAreCutToTheirField)
{
    TServerConfig config = TServerConfig::defaults(QStringLiteral("/d"));
    config.Port = QByteArray(40, '7');
    config.IPAccept = QByteArray(250, '1');
    const TServerConfig back = TServerConfig::fromRecord(config.toRecord());
    EXPECT_EQ(back.Port, QByteArray(25, '7'));
    EXPECT_EQ(back.IPAccept, QByteArray(200, '1'));
    EXPECT_EQ(back.IPDeny, QByteArray());
}

class ConfigFileTest : public ::testing::Test
{
protected:
    TempDataDir dir;
    ScriptedPrompts prompts;
    QString serverDat() const { return QStringLiteral("Server.Dat"); }
};

TEST_F(ConfigFileTest, MissingFileIsNoConfigurationWithoutAWord)
{
    TServerConfig config;
    EXPECT_FALSE(ConfigFile::LoadConfig(dir.path(), config, prompts));
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(prompts.beeps(), 0);
}

TEST_F(ConfigFileTest, ShortFileIsReportedAndDeleted)
{
    dir.write(serverDat(), QByteArray(943, '\0'));
    TServerConfig config;
    EXPECT_FALSE(ConfigFile::LoadConfig(dir.path(), config, prompts));
    EXPECT_EQ(prompts.shown(), QStringList{QStringLiteral("error: Corupted Configuration File!")});
    EXPECT_EQ(prompts.beeps(), 1);
    EXPECT_FALSE(dir.exists(serverDat()));
}

TEST_F(ConfigFileTest, LongerFileLoadsFromItsFirstRecord)
{
    TServerConfig written = TServerConfig::defaults(dir.path());
    written.QueTime = 42;
    written.Port = "6000";
    dir.write(serverDat(), written.toRecord() + QByteArray(56, 'X'));
    TServerConfig config;
    ASSERT_TRUE(ConfigFile::LoadConfig(dir.path(), config, prompts));
    EXPECT_EQ(config.QueTime, 42);
    EXPECT_EQ(config.Port, "6000");
    EXPECT_EQ(config.raw.size(), 944);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(ConfigFileTest, SaveWritesTheRecordAndLoadReadsItBack)
{
    TServerConfig config = TServerConfig::defaults(dir.path());
    config.IPDeny = "10.0.0.*";
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), config, prompts));
    EXPECT_EQ(dir.read(serverDat()), config.toRecord());
    TServerConfig loaded;
    ASSERT_TRUE(ConfigFile::LoadConfig(dir.path(), loaded, prompts));
    EXPECT_EQ(loaded.IPDeny, "10.0.0.*");
    EXPECT_EQ(loaded.UserFile, config.UserFile);
}

TEST_F(ConfigFileTest, FailedWriteIsReportedAsSuch)
{
    const QString missing = dir.file(QStringLiteral("no/such/folder"));
    TServerConfig config = TServerConfig::defaults(missing);
    EXPECT_FALSE(ConfigFile::SaveConfig(missing, config, prompts));
    EXPECT_EQ(prompts.shown(),
              QStringList{QStringLiteral("error: Could Not Write To Configuration File!")});
    EXPECT_EQ(prompts.beeps(), 1);
}

} // namespace

TEST(ConfigFileOnFullDisk, FailedSaveKeepsTheOldFileAndSaysSo)
{
    SmallFileSystem fs(64 * 1024);
    ScriptedPrompts prompts;
    TServerConfig config = TServerConfig::defaults(fs.path());
    ASSERT_TRUE(ConfigFile::SaveConfig(fs.path(), config, prompts));
    const QByteArray old = config.toRecord();
    fs.fill();
    config.QueTime = 42;
    EXPECT_FALSE(ConfigFile::SaveConfig(fs.path(), config, prompts));
    EXPECT_EQ(prompts.shown(),
              QStringList{QStringLiteral("error: Could Not Write To Configuration File!")});
    QFile file(fs.file(QStringLiteral("Server.Dat")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old) << "a failed save must leave the old Server.Dat whole";
}

// Values a damaged or hand-edited Server.Dat may hold: each one out of range is put back to its
// default and named in one error box; the values at the ends of the ranges are kept.
TEST(ConfigFileRanges, OutOfRangeFieldsAreReportedAndNeverUsed)
{
    struct Case
    {
        qint32 queTime, comPort, speed, flow;
        QByteArray port;
        TServerConfig expected; // only the five fields below are compared
        QString report;         // empty: no box
    };
    const auto with = [](qint32 q, qint32 c, qint32 s, qint32 f, QByteArray p) {
        TServerConfig config;
        config.QueTime = q;
        config.ComPort = c;
        config.ComPortSpeed = s;
        config.FlowControl = f;
        config.Port = p;
        return config;
    };
    constexpr qint32 Min = std::numeric_limits<qint32>::min();
    constexpr qint32 Max = std::numeric_limits<qint32>::max();
    const QList<Case> cases = {
        {0, -1, -1, -1, "1", with(0, -1, -1, -1, "1"), {}},
        {1440, 3, 13, 3, "65535", with(1440, 3, 13, 3, "65535"), {}},
        {5, 1, 4, 1, "snpp", with(5, 1, 4, 1, "snpp"), {}},
        {Min, 1, 4, 1, "5612", with(5, 1, 4, 1, "5612"), QStringLiteral("QueTime")},
        {Max, 1, 4, 1, "5612", with(5, 1, 4, 1, "5612"), QStringLiteral("QueTime")},
        {1441, -2, 14, 4, "0", with(5, 1, 4, 1, "5612"),
         QStringLiteral("QueTime, ComPort, ComPortSpeed, FlowControl, Port")},
        {-1, Min, Max, Min, "65536", with(5, 1, 4, 1, "5612"),
         QStringLiteral("QueTime, ComPort, ComPortSpeed, FlowControl, Port")},
    };
    for (const Case& c : cases) {
        TempDataDir dir;
        ScriptedPrompts prompts;
        TServerConfig stored = TServerConfig::defaults(dir.path());
        stored.QueTime = c.queTime;
        stored.ComPort = c.comPort;
        stored.ComPortSpeed = c.speed;
        stored.FlowControl = c.flow;
        stored.Port = c.port;
        stored.IPAccept = "10.1.1.1";
        dir.write(QStringLiteral("Server.Dat"), stored.toRecord());
        TServerConfig loaded;
        ASSERT_TRUE(ConfigFile::LoadConfig(dir.path(), loaded, prompts));
        const std::string label =
            "QueTime " + std::to_string(c.queTime) + ", port " + c.port.toStdString();
        EXPECT_EQ(loaded.QueTime, c.expected.QueTime) << label;
        EXPECT_EQ(loaded.ComPort, c.expected.ComPort) << label;
        EXPECT_EQ(loaded.ComPortSpeed, c.expected.ComPortSpeed) << label;
        EXPECT_EQ(loaded.FlowControl, c.expected.FlowControl) << label;
        EXPECT_EQ(loaded.Port, c.expected.Port) << label;
        EXPECT_EQ(loaded.IPAccept, "10.1.1.1") << "the valid settings stay the operator's";
        if (c.report.isEmpty()) {
            EXPECT_TRUE(prompts.shown().isEmpty()) << label;
        } else {
            ASSERT_EQ(prompts.shown().size(), 1) << label;
            EXPECT_TRUE(prompts.shown().front().contains(c.report))
                << label << ": " << prompts.shown().front().toStdString();
        }
        EXPECT_EQ(dir.read(QStringLiteral("Server.Dat")), stored.toRecord())
            << "the file itself is kept for the operator to correct";
    }
}

// A record is applied over running settings only when a save could have written every field of
// it: each kind of damage is found and named, alone and together, and a record written by a
// save never is.
TEST(ServerConfigRecord, InvalidFieldsNameEveryDamageASaveCannotWrite)
{
    const QByteArray good = TServerConfig::defaults(QStringLiteral("/data")).toRecord();
    EXPECT_TRUE(TServerConfig::fromRecord(good).invalidFields().isEmpty());
    struct Damage
    {
        int offset;
        char byte;
        const char* field;
    };
    const Damage damages[] = {
        {3, char(0x80), "QueTime"},    {4, 2, "SystemTray"},         {5, char(0xff), "Logging"},
        {6, 31, "ModemType"},          {37, 101, "InitString"},      {143, 1, "ComPort"},
        {144, 14, "ComPortSpeed"},     {148, 4, "FlowControl"},      {211, 26, "Port"},
        {237, char(201), "IPDeny"},    {438, char(255), "IPAccept"}, {639, char(151), "UserFile"},
        {790, char(200), "GroupFile"},
    };
    QByteArray all = good;
    QList<QByteArray> named;
    for (const Damage& damage : damages) {
        QByteArray record = good;
        record[damage.offset] = damage.byte;
        all[damage.offset] = damage.byte;
        named.append(damage.field);
        EXPECT_EQ(TServerConfig::fromRecord(record).invalidFields(),
                  QList<QByteArray>{damage.field})
            << damage.field;
    }
    EXPECT_EQ(TServerConfig::fromRecord(all).invalidFields(), named);

    // Values at the ends of their ranges are fine; so is a port given by a service name.
    TServerConfig edges = TServerConfig::defaults(QStringLiteral("/data"));
    edges.QueTime = TServerConfig::MaxQueTime;
    edges.ComPort = -1;
    edges.ComPortSpeed = 13;
    edges.FlowControl = 3;
    edges.Port = "65535";
    edges.ModemType = QByteArray(40, 'm');
    EXPECT_TRUE(TServerConfig::fromRecord(edges.toRecord()).invalidFields().isEmpty());
    edges.Port = "snpp";
    EXPECT_TRUE(TServerConfig::fromRecord(edges.toRecord()).invalidFields().isEmpty());
    edges.Port = "0";
    EXPECT_EQ(TServerConfig::fromRecord(edges.toRecord()).invalidFields(),
              QList<QByteArray>{"Port"});
}
