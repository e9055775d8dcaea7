#include "core/configfile.h"
#include "core/ioptionsdialog.h"
#include "core/serverstate.h"
#include "core/settingscommand.h"
#include "tests/support/servercoretest.h"

#include <QList>
#include <QStringList>

#include <functional>

#include <gtest/gtest.h>

namespace {

// An options dialog whose operator follows a script: each showing runs the next step, which
// may edit the values, and answers OK or Cancel. Every call is recorded in order.
class ScriptedOptionsDialog final : public IOptionsDialog
{
public:
    struct Showing
    {
        std::function<void(OptionValues&)> edit;
        bool ok = true;
    };

    void showFirstPage() override { calls.append(QStringLiteral("page")); }
    void selectModemType(const QByteArray& modemType) override
    {
        calls.append(QStringLiteral("select ") + QString::fromLatin1(modemType));
        current.ModemType = modemType;
    }
    void ModemListChange() override { calls.append(QStringLiteral("change")); }
    void setValues(const OptionValues& values) override
    {
        calls.append(QStringLiteral("set"));
        const QByteArray modemType = current.ModemType;
        current = values;
        current.ModemType = modemType;
        shownWith.append(values);
    }
    bool execute() override
    {
        calls.append(QStringLiteral("exec"));
        if (script.isEmpty()) {
            ADD_FAILURE() << "The options dialog was shown once more than expected";
            return false;
        }
        Showing step = script.takeFirst();
        if (step.edit)
            step.edit(current);
        return step.ok;
    }
    OptionValues values() const override { return current; }

    QList<Showing> script;
    QStringList calls;
    QList<OptionValues> shownWith;
    OptionValues current;
};

class SettingsCommandTest : public ServerCoreTest
{
protected:
    ScriptedOptionsDialog dialog;
    SettingsCommand command{core, dialog, prompts};
    int confirmed = 0;

    void SetUp() override
    {
        command.setOnConfirmed([this] { ++confirmed; });
    }
    TServerConfig saved() const
    {
        return TServerConfig::fromRecord(dir.read(ConfigFile::FileName));
    }
};

TEST_F(SettingsCommandTest, FillsTheDialogWithTheStoredValuesAfterTheModemDefinition)
{
    configure([&](TServerConfig& c) { c.QueTime = 12; });
    configure([&](TServerConfig& c) { c.ModemType = "Hayes"; });
    configure([&](TServerConfig& c) { c.InitString = "ATZ"; });
    configure([&](TServerConfig& c) { c.ComPort = 3; });
    configure([&](TServerConfig& c) { c.Port = "7000"; });
    dialog.script.append({nullptr, false});
    prompts.expectQuestion(QStringLiteral("Must Configure Application! Exit?"), true);
    EXPECT_FALSE(command.run());
    EXPECT_EQ(dialog.calls, (QStringList{QStringLiteral("page"), QStringLiteral("select Hayes"),
                                         QStringLiteral("change"), QStringLiteral("set"),
                                         QStringLiteral("exec")}));
    ASSERT_EQ(dialog.shownWith.size(), 1);
    EXPECT_EQ(dialog.shownWith[0].QueTime, "12");
    EXPECT_EQ(dialog.shownWith[0].InitString, "ATZ");
    EXPECT_EQ(dialog.shownWith[0].ComPort, 3);
    EXPECT_EQ(dialog.shownWith[0].Port, "7000");
}

TEST_F(SettingsCommandTest, OkStoresEveryValueCutToItsFieldAndSaves)
{
    dialog.script.append({[](OptionValues& v) {
                              v.QueTime = "15";
                              v.SystemTray = false;
                              v.Logging = true;
                              v.ModemType = QByteArray(35, 'M');
                              v.InitString = QByteArray(120, 'I');
                              v.ComPort = 0;
                              v.ComPortSpeed = -1;
                              v.FlowControl = 2;
                              v.UserFile = QByteArray(160, 'u');
                              v.GroupFile = "/g/sGroup.Dat";
                              v.Port = QByteArray(30, '9');
                              v.IPAccept = QByteArray(210, 'a');
                              v.IPDeny = "10.*";
                          },
                          true});
    EXPECT_TRUE(command.run());
    const TServerConfig& config = core.config();
    EXPECT_EQ(config.QueTime, 15);
    EXPECT_FALSE(config.SystemTray);
    EXPECT_TRUE(config.Logging);
    EXPECT_EQ(config.ModemType, QByteArray(30, 'M'));
    EXPECT_EQ(config.InitString, QByteArray(100, 'I'));
    EXPECT_EQ(config.ComPort, 0);
    EXPECT_EQ(config.ComPortSpeed, -1);
    EXPECT_EQ(config.FlowControl, 2);
    EXPECT_EQ(config.UserFile, QByteArray(150, 'u'));
    EXPECT_EQ(config.GroupFile, "/g/sGroup.Dat");
    EXPECT_EQ(config.Port, QByteArray(25, '9'));
    EXPECT_EQ(config.IPAccept, QByteArray(200, 'a'));
    EXPECT_EQ(config.IPDeny, "10.*");
    EXPECT_EQ(confirmed, 1);
    const TServerConfig onDisk = saved();
    EXPECT_EQ(onDisk.QueTime, 15);
    EXPECT_EQ(onDisk.Port, QByteArray(25, '9'));
    EXPECT_EQ(onDisk.ComPortSpeed, -1);
}

TEST_F(SettingsCommandTest, OkWithUnchangedValuesStillSavesAndRestartsTheListener)
{
    TServerConfig stored = core.config();
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), stored, prompts));
    dialog.script.append({nullptr, true});
    dialog.script.append({nullptr, true});
    EXPECT_TRUE(command.run());
    EXPECT_TRUE(command.run());
    EXPECT_EQ(confirmed, 2);
}

TEST_F(SettingsCommandTest, CancelAtFirstStartAsksAndNoShowsTheDialogAgain)
{
    dialog.script.append({[](OptionValues& v) { v.Port = "9999"; }, false});
    dialog.script.append({nullptr, true});
    prompts.expectQuestion(QStringLiteral("Must Configure Application! Exit?"), false);
    EXPECT_TRUE(command.run());
    EXPECT_EQ(prompts.beeps(), 1);
    EXPECT_EQ(dialog.calls.count(QStringLiteral("exec")), 2);
    // The cancelled edit took no effect: the second showing starts from the record.
    ASSERT_EQ(dialog.shownWith.size(), 2);
    EXPECT_EQ(dialog.shownWith[1].Port, "5612");
    EXPECT_TRUE(dir.exists(ConfigFile::FileName));
    EXPECT_EQ(confirmed, 1);
}

TEST_F(SettingsCommandTest, CancelAtFirstStartAndYesEndsTheProgramWithoutAFile)
{
    dialog.script.append({nullptr, false});
    prompts.expectQuestion(QStringLiteral("Must Configure Application! Exit?"), true);
    EXPECT_FALSE(command.run());
    EXPECT_FALSE(dir.exists(ConfigFile::FileName));
    EXPECT_EQ(confirmed, 0);
}

TEST_F(SettingsCommandTest, CancelWithAConfigurationEndsQuietly)
{
    TServerConfig stored = core.config();
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), stored, prompts));
    dialog.script.append({[](OptionValues& v) { v.QueTime = "77"; }, false});
    EXPECT_TRUE(command.run());
    EXPECT_EQ(core.config().QueTime, 5);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(SettingsCommandTest, BadCheckIntervalChangesAndSavesNothing)
{
    TServerConfig stored = core.config();
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), stored, prompts));
    const QByteArray before = dir.read(ConfigFile::FileName);
    dialog.script.append({[](OptionValues& v) {
                              v.QueTime = "";
                              v.Port = "1234";
                              v.Logging = true;
                          },
                          true});
    EXPECT_TRUE(command.run());
    EXPECT_EQ(prompts.shown(),
              QStringList{QStringLiteral("standard error: '' is not a valid integer value")});
    EXPECT_EQ(core.config().Port, "5612");
    EXPECT_FALSE(core.config().Logging);
    EXPECT_EQ(dir.read(ConfigFile::FileName), before);
    EXPECT_EQ(confirmed, 0);
}

TEST_F(SettingsCommandTest, BadCheckIntervalAtFirstStartKeepsAsking)
{
    dialog.script.append({[](OptionValues& v) { v.QueTime = "x"; }, true});
    dialog.script.append({[](OptionValues& v) { v.QueTime = "7"; }, true});
    prompts.expectQuestion(QStringLiteral("Must Configure Application! Exit?"), false);
    EXPECT_TRUE(command.run());
    EXPECT_TRUE(prompts.shown().contains(
        QStringLiteral("standard error: 'x' is not a valid integer value")));
    EXPECT_EQ(saved().QueTime, 7);
}

} // namespace
