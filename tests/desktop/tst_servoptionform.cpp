#include "desktop/tservoptionform.h"
#include "directories/modemdefinitions.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Chooses an entry of a drop-down list as the operator does: opens the list and clicks the
// entry in it.
void chooseFromList(QComboBox* list, int index)
{
    list->showPopup();
    QAbstractItemView* view = list->view();
    ASSERT_TRUE(view->isVisible()) << "the list did not open";
    const QRect entry = view->visualRect(view->model()->index(index, 0));
    ASSERT_TRUE(entry.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    ASSERT_FALSE(view->isVisible()) << "the list stayed open after the choice";
    ASSERT_EQ(list->currentIndex(), index);
}

class OptionFormTest : public ::testing::Test
{
protected:
    TempDataDir dir;
    std::unique_ptr<TServOptionForm> form;

    void create()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Zelkor Server"));
        form = std::make_unique<TServOptionForm>(dir.path());
    }
    template <typename T> T* control(const char* name) const
    {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << "no control named " << name;
        return found;
    }
    QComboBox* modemList() const { return control<QComboBox>("ModemList"); }
    QComboBox* speed() const { return control<QComboBox>("CommSpeed"); }
    QLineEdit* initString() const { return control<QLineEdit>("InitStrin"); }
    QStringList items(QComboBox* list) const
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->itemText(i));
        return texts;
    }
};

TEST_F(OptionFormTest, WithoutModemsFileOnlyGenericModemAndTheStartingSelections)
{
    create();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Zelkor Server Options"));
    EXPECT_EQ(items(modemList()), QStringList{QStringLiteral("Generic Modem")});
    EXPECT_EQ(modemList()->currentIndex(), 0);
    EXPECT_EQ(control<QComboBox>("CommPort")->currentText(), QStringLiteral("COM2"));
    EXPECT_EQ(speed()->currentText(), QStringLiteral("600"));
    EXPECT_EQ(control<QComboBox>("FlowControl")->currentText(), QStringLiteral("None"));
    EXPECT_TRUE(initString()->text().isEmpty());
    const QStringList speeds = items(speed());
    ASSERT_EQ(speeds.size(), 14);
    EXPECT_EQ(speeds[12], QStringLiteral("115200"));
    EXPECT_TRUE(speeds[13].isEmpty());
    // The Generic Modem of an empty list reads nothing, so the stored values stay.
    form->ModemListChange();
    EXPECT_EQ(speed()->currentText(), QStringLiteral("600"));
}

TEST_F(OptionFormTest, ModemTypesFillInitStringAndSpeed)
{
    dir.write(ModemDefinitions::FileName, "[Fast Modem]\r\nInitString=AT&F\r\nSpeed=9600\r\n"
                                          "[Plain Modem]\r\n"
                                          "[Odd Modem]\r\nInitString=ATX\r\nSpeed=33600\r\n");
    create();
    EXPECT_EQ(items(modemList()),
              (QStringList{QStringLiteral("Fast Modem"), QStringLiteral("Plain Modem"),
                           QStringLiteral("Odd Modem")}));
    // The first type's values at creation: 9600 is the seventh speed.
    EXPECT_EQ(initString()->text(), QStringLiteral("AT&F"));
    EXPECT_EQ(speed()->currentIndex(), 6);

    chooseFromList(modemList(), 1);
    EXPECT_EQ(initString()->text(), QStringLiteral("ATE1V1&M0"));
    EXPECT_EQ(speed()->currentText(), QStringLiteral("2400"));

    chooseFromList(modemList(), 2);
    EXPECT_EQ(initString()->text(), QStringLiteral("ATX"));
    EXPECT_EQ(speed()->currentIndex(), -1);

    // A typed name that names no type changes nothing but is what OK stores.
    initString()->setText(QStringLiteral("ATMINE"));
    modemList()->lineEdit()->selectAll();
    modemList()->lineEdit()->insert(QStringLiteral("My Own Modem"));
    EXPECT_EQ(initString()->text(), QStringLiteral("ATMINE"));
    EXPECT_EQ(form->values().ModemType, "My Own Modem");
    // Typing a type's exact name chooses it.
    modemList()->lineEdit()->selectAll();
    modemList()->lineEdit()->insert(QStringLiteral("Fast Modem"));
    EXPECT_EQ(initString()->text(), QStringLiteral("AT&F"));
}

TEST_F(OptionFormTest, ChoosingTheTypeAlreadyShownReadsItsValuesAgain)
{
    dir.write(ModemDefinitions::FileName, "[Fast Modem]\r\nInitString=AT&F\r\nSpeed=9600\r\n"
                                          "[Plain Modem]\r\n");
    create();
    form->show();
    // The operator changes the shown type's values, then picks that type again to undo that.
    initString()->setText(QStringLiteral("ATMINE"));
    speed()->setCurrentIndex(0);
    chooseFromList(modemList(), 0);
    EXPECT_EQ(initString()->text(), QStringLiteral("AT&F"));
    EXPECT_EQ(speed()->currentText(), QStringLiteral("9600"));

    // Also after typing over the type's name.
    modemList()->lineEdit()->selectAll();
    modemList()->lineEdit()->insert(QStringLiteral("Fast"));
    initString()->setText(QStringLiteral("ATMINE"));
    chooseFromList(modemList(), 0);
    EXPECT_EQ(modemList()->currentText(), QStringLiteral("Fast Modem"));
    EXPECT_EQ(initString()->text(), QStringLiteral("AT&F"));
    form->hide();
}

TEST_F(OptionFormTest, TypeNamesLongerThanTheFieldStillReadTheirValues)
{
    const QByteArray longName = "Very Long Modem Name Of Forty Characters";
    dir.write(ModemDefinitions::FileName, "[Short]\r\n[" + longName + "]\r\nInitString=ATL\r\n");
    create();
    EXPECT_EQ(initString()->text(), QStringLiteral("ATE1V1&M0"));
    form->selectModemType("Forty");
    form->ModemListChange();
    EXPECT_EQ(initString()->text(), QStringLiteral("ATL"));
    EXPECT_EQ(form->values().ModemType, longName.left(30));
}

TEST_F(OptionFormTest, ConfiguredTypeIsFoundBySubstringWithLetterCase)
{
    dir.write(ModemDefinitions::FileName, "[Alpha]\r\n[Beta 28800]\r\n[beta]\r\n");
    create();
    form->selectModemType("Beta");
    EXPECT_EQ(modemList()->currentIndex(), 1);
    form->selectModemType("beta");
    EXPECT_EQ(modemList()->currentIndex(), 2);
    form->selectModemType("Gamma");
    EXPECT_EQ(modemList()->currentIndex(), 0);
    form->selectModemType("");
    EXPECT_EQ(modemList()->currentIndex(), 0);
}

TEST_F(OptionFormTest, ValuesRoundTripThroughTheControls)
{
    create();
    OptionValues in;
    in.QueTime = "42";
    in.SystemTray = true;
    in.Logging = true;
    in.InitString = "ATZ";
    in.ComPort = 3;
    in.ComPortSpeed = 13;
    in.FlowControl = 2;
    in.UserFile = "/srv/shared/sUser.Dat";
    in.GroupFile = "/srv/shared/sGroup.Dat";
    in.Port = "pager";
    in.IPAccept = "10.0.0.1 10.0.0.2";
    in.IPDeny = "10.*";
    form->setValues(in);
    const OptionValues out = form->values();
    EXPECT_EQ(out.QueTime, "42");
    EXPECT_TRUE(out.SystemTray);
    EXPECT_TRUE(out.Logging);
    EXPECT_EQ(out.ModemType, "Generic Modem");
    EXPECT_EQ(out.InitString, "ATZ");
    EXPECT_EQ(out.ComPort, 3);
    EXPECT_EQ(out.ComPortSpeed, 13);
    EXPECT_EQ(out.FlowControl, 2);
    EXPECT_EQ(out.UserFile, in.UserFile);
    EXPECT_EQ(out.GroupFile, in.GroupFile);
    EXPECT_EQ(out.Port, "pager");
    EXPECT_EQ(out.IPAccept, in.IPAccept);
    EXPECT_EQ(out.IPDeny, in.IPDeny);

    in.ComPort = -1;
    in.ComPortSpeed = -1;
    in.FlowControl = -1;
    form->setValues(in);
    EXPECT_EQ(form->values().ComPort, -1);
    EXPECT_EQ(form->values().ComPortSpeed, -1);
    EXPECT_EQ(form->values().FlowControl, -1);
}

TEST_F(OptionFormTest, CheckIntervalTakesUpToThreeDigits)
{
    create();
    auto* queTime = control<QLineEdit>("QueTime");
    queTime->setText(QStringLiteral("12345"));
    EXPECT_EQ(form->values().QueTime, "123");
    queTime->setText(QStringLiteral("7"));
    EXPECT_EQ(form->values().QueTime, "7");
    queTime->clear();
    EXPECT_EQ(form->values().QueTime, "");
    EXPECT_EQ(control<QLineEdit>("Port")->maxLength(), 25);
    EXPECT_EQ(control<QLineEdit>("Port")->toolTip(),
              QStringLiteral("Port To Listen On For Incomming Pages"));
    EXPECT_EQ(initString()->maxLength(), 100);
    EXPECT_EQ(control<QLineEdit>("sUser")->maxLength(), 150);
    EXPECT_EQ(control<QLineEdit>("sGroup")->maxLength(), 150);
}

TEST_F(OptionFormTest, FilePickersProposeTheirFilesAndCancelKeepsThePath)
{
    create();
    QList<TServOptionForm::FilePickRequest> requests;
    std::optional<QString> answer;
    form->setFilePicker([&](const TServOptionForm::FilePickRequest& request) {
        requests.append(request);
        return answer;
    });
    auto* user = control<QLineEdit>("sUser");
    auto* group = control<QLineEdit>("sGroup");
    user->setText(QStringLiteral("/old/sUser.Dat"));
    control<QPushButton>("Dir3")->click();
    EXPECT_EQ(user->text(), QStringLiteral("/old/sUser.Dat"));
    answer = QStringLiteral("/new/groups.grp");
    control<QPushButton>("Dir4")->click();
    EXPECT_EQ(group->text(), QStringLiteral("/new/groups.grp"));
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].title, QStringLiteral("Location Of Shared User File"));
    EXPECT_EQ(requests[0].proposedName, QStringLiteral("sUsers.usr"));
    EXPECT_EQ(requests[0].filterIndex, 0);
    EXPECT_EQ(requests[0].filters.size(), 3);
    EXPECT_TRUE(requests[0].filters[0].startsWith(QStringLiteral("All User Files")));
    EXPECT_EQ(requests[1].title, QStringLiteral("Location Of Shared Group File"));
    EXPECT_EQ(requests[1].proposedName, QStringLiteral("sGroups.grp"));
    EXPECT_EQ(requests[1].filterIndex, 1);
    EXPECT_TRUE(requests[1].filters[1].startsWith(QStringLiteral("All Group Files")));
}

TEST_F(OptionFormTest, HelpShowsTheTopicOfThePageInFront)
{
    create();
    QList<int> topics;
    form->setHelpOpener([&](int topic) { topics.append(topic); });
    auto* pages = control<QTabWidget>("PageControl1");
    ASSERT_EQ(pages->count(), 4);
    EXPECT_EQ(pages->tabText(2), QStringLiteral("&Shared Directories"));
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        control<QPushButton>("BitBtn3")->click();
    }
    EXPECT_EQ(topics, (QList<int>{101, 102, 104, 103}));
    form->showFirstPage();
    EXPECT_EQ(pages->currentIndex(), 0);
}

// A character the settings file cannot hold (it keeps one byte per character) would be stored
// as "?": OK is refused with a warning, on the page of the entry, with the focus on it, and the
// dialog stays open; once the entry is put right OK closes it.
TEST_F(OptionFormTest, OkRefusesAnEntryTheSettingsFileCannotHold)
{
    create();
    ScriptedPrompts prompts;
    form->setPrompts(prompts);
    form->show();
    QApplication::setActiveWindow(form.get());
    QLineEdit* deny = control<QLineEdit>("IPDeny");
    const QString beyondLatin1 = QStringLiteral("ATZ") + QChar(0x20AC);
    const struct
    {
        QLineEdit* field;
        QString typed;
        int page;
    } cases[] = {
        {initString(), beyondLatin1, TServOptionForm::ModemPage},
        {deny, QStringLiteral("10.0.0.") + QChar(0xFF15), TServOptionForm::IPPage},
    };
    for (const auto& entry : cases) {
        const QString kept = entry.field->text();
        entry.field->setText(entry.typed);
        form->setResult(QDialog::Rejected);
        control<QTabWidget>("PageControl1")->setCurrentIndex(TServOptionForm::GeneralPage);
        form->BitBtn1Click();
        EXPECT_EQ(form->result(), QDialog::Rejected) << entry.typed.toStdString();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(control<QTabWidget>("PageControl1")->currentIndex(), entry.page);
        EXPECT_EQ(QApplication::focusWidget(), entry.field);
        ASSERT_FALSE(prompts.shown().isEmpty());
        EXPECT_TRUE(prompts.shown().last().contains(QStringLiteral("(Latin-1)")));
        entry.field->setText(kept);
    }
    const qsizetype warnings = prompts.shown().size();
    form->BitBtn1Click();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(prompts.shown().size(), warnings);
}

} // namespace
