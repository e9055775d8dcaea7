#include "directories/sharedpaths.h"
#include "directories/shareduserfile.h"
#include "directories/ui/tgroupform.h"
#include "directories/ui/tpcdform.h"
#include "directories/ui/tsuserdataform.h"
#include "tests/support/modalanswer.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// The object names of the controls that Tab visits, from `first` on.
QStringList tabOrder(QWidget* first)
{
    QStringList names;
    for (QWidget* w = first; names.size() < 20; w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus)
            names.append(w->objectName());
        if (w->nextInFocusChain() == first)
            break;
    }
    return names;
}

QString labelOf(QWidget* form, QWidget* control)
{
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->buddy() == control)
            return label->text() + (label->font().bold() ? QStringLiteral(" (bold)") : QString());
    }
    return {};
}

QToolButton* byToolTip(QWidget* form, const char* tip)
{
    for (QToolButton* button : form->findChildren<QToolButton*>()) {
        if (button->toolTip() == QLatin1String(tip))
            return button;
    }
    ADD_FAILURE() << "no picture button with the tool tip " << tip;
    return nullptr;
}

TEST(CompanyDataForm, ControlsKeyFilterAndChecks)
{
    ScriptedPrompts prompts;
    TPCDForm form(prompts);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Paging Company Data"));
    EXPECT_EQ(form.property("helpContext").toInt(), 33);
    EXPECT_EQ(labelOf(&form, form.CompanyName()), QStringLiteral("&Company Name: (bold)"));
    EXPECT_EQ(labelOf(&form, form.Parity()), QStringLiteral("Parit&y:"));
    EXPECT_EQ(form.findChild<QGroupBox*>()->title(), QStringLiteral("Terminal Access Information"));
    EXPECT_EQ(form.Password()->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(tabOrder(form.CompanyName()),
              QString(QStringLiteral("CompanyName TerminalAccessNum Parity DataBits StopBits "
                                     "Length Password BitBtn1 BitBtn2 BitBtn3"))
                  .split(QLatin1Char(' ')));
    const PagingCompany fresh = form.company();
    EXPECT_EQ(std::tie(fresh.Length, fresh.Parity, fresh.DataBits, fresh.StopBits),
              std::make_tuple(QByteArray("140"), 2, 2, 0));
    EXPECT_EQ(form.StopBits()->itemText(1), QStringLiteral("Half"));

    // Only digits and backspace reach the access number, with a beep for anything else.
    QTest::keyClicks(form.TerminalAccessNum(), QStringLiteral("(555) 12-34x"));
    EXPECT_EQ(form.TerminalAccessNum()->text(), QStringLiteral("5551234"));
    EXPECT_EQ(prompts.beeps(), 5);
    QTest::keyClick(form.TerminalAccessNum(), Qt::Key_Backspace);
    EXPECT_EQ(form.TerminalAccessNum()->text(), QStringLiteral("555123"));
    form.TerminalAccessNum()->clear();

    // OK keeps the dialog open until the name and the access number are there.
    form.show();
    const auto pressOk = [&](const char* warning, QWidget* focus) {
        form.BitBtn1()->click();
        EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: ") + QLatin1String(warning));
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.focusWidget(), focus);
    };
    pressOk("No Company Name Specified!", form.CompanyName());
    form.CompanyName()->setText(QStringLiteral("Acme [East]"));
    pressOk("Invalid Company Name Specified!\r\nNames Can Not Hold [ Or ], Control Characters, "
            "Or Blanks At Either End.",
            form.CompanyName());
    form.CompanyName()->setText(QStringLiteral("Acme"));
    pressOk("No Access Number Specified!", form.TerminalAccessNum());
    EXPECT_EQ(prompts.beeps(), 8);
    form.TerminalAccessNum()->setText(QStringLiteral("1"));
    form.BitBtn1()->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(UserDataForm, ProvidersSortedChosenWithoutRegardToCaseAndTheChecks)
{
    TempDataDir dir;
    dir.write(SharedPaths::ProviderFileName, "[Metro Page]\r\n[acme]\r\n[Zeta]\r\n");
    ScriptedPrompts prompts;
    TsUserDataForm form(prompts);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("User Data"));
    EXPECT_EQ(form.OKBut()->toolTip(), QStringLiteral("Accsept And Exit"));
    EXPECT_EQ(labelOf(&form, form.Providers()), QStringLiteral("Provider: (bold)"));
    EXPECT_EQ(tabOrder(form.Name()), QString(QStringLiteral("Name PIN Providers OKBut BitBtn2 "
                                                            "BitBtn1"))
                                         .split(QLatin1Char(' ')));

    SharedUser user{"Bob", "", "ACME"};
    const auto answer = answerModal<TsUserDataForm>([&](TsUserDataForm& shown) {
        EXPECT_EQ(shown.Providers()->count(), 3);
        EXPECT_EQ(shown.Providers()->itemText(1), QStringLiteral("Metro Page"));
        EXPECT_EQ(shown.Providers()->currentText(), QStringLiteral("acme"));
        shown.OKBut()->click();
        EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: No PIN Specified!"));
        EXPECT_EQ(shown.focusWidget(), shown.PIN());
        QTest::keyClicks(shown.PIN(), QStringLiteral("55a5"));
        EXPECT_EQ(prompts.beeps(), 2);
        shown.Providers()->setCurrentIndex(-1);
        shown.OKBut()->click();
        EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: No Provider Specified!"));
        shown.Providers()->setCurrentIndex(2);
        shown.OKBut()->click();
    });
    ASSERT_TRUE(form.execute(user, dir.path()));
    EXPECT_EQ(user, (SharedUser{"Bob", "555", "Zeta"}));

    // A provider no longer in the directory opens with none selected.
    user.Provider = "Gone";
    const auto cancel = answerModal<TsUserDataForm>([](TsUserDataForm& shown) {
        EXPECT_EQ(shown.Providers()->currentIndex(), -1);
        shown.BitBtn2()->click();
    });
    EXPECT_FALSE(form.execute(user, dir.path()));
}

TEST(GroupForm, MembersMoveBetweenTheListsAndOKNeedsTwo)
{
    TempDataDir dir;
    dir.write(QStringLiteral("sUser.Dat"), "[dave]\r\n[Carol]\r\n[Bob]\r\n[alice]\r\n[CAROL]\r\n");
    dir.write(QStringLiteral("sGroup.Dat"), "[Team B]\r\nUser0=x\r\nUser1=y\r\n"
                                            "[Team]\r\nUser0=Carol\r\nUser1=Bob\r\n");
    ScriptedPrompts prompts;
    TGroupForm form(prompts);
    QByteArray name = "Team";
    QList<QByteArray> members;
    const auto answer = answerModal<TGroupForm>([&](TGroupForm& shown) {
        EXPECT_EQ(shown.windowTitle(), QStringLiteral("Group Data"));
        QListWidget* available = shown.aUser();
        QListWidget* inGroup = shown.ListBox2();
        EXPECT_EQ(inGroup->count(), 2); // its own members, sorted: Bob, Carol
        EXPECT_EQ(inGroup->item(0)->text(), QStringLiteral("Bob"));
        // alice, Bob, Carol, CAROL, dave: adding all leaves one Carol.
        available->selectAll();
        byToolTip(&shown, "Add To List")->click();
        EXPECT_EQ(inGroup->count(), 4);
        EXPECT_EQ(available->selectedItems().size(), 5);
        // Three adjacent members go at once; a double-click removes one more.
        for (int row : {0, 1, 2})
            inGroup->item(row)->setSelected(true);
        byToolTip(&shown, "Remove From List")->click();
        ASSERT_EQ(inGroup->count(), 1);
        inGroup->item(0)->setSelected(true);
        emit inGroup->itemDoubleClicked(inGroup->item(0));
        EXPECT_EQ(inGroup->count(), 0);
        available->clearSelection();
        available->item(4)->setSelected(true);
        emit available->itemDoubleClicked(available->item(4));
        byToolTip(&shown, "Except And Exit")->click();
        EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: Must Have At Least 2 User!"));
        EXPECT_TRUE(shown.isVisible());
        EXPECT_EQ(inGroup->item(0)->text(), QStringLiteral("dave"));
        byToolTip(&shown, "Clear Group List")->click();
        EXPECT_EQ(inGroup->count(), 0);
        available->item(0)->setSelected(true);
        byToolTip(&shown, "Add To List")->click();
        byToolTip(&shown, "Except And Exit")->click();
    });
    ASSERT_TRUE(form.execute(name, members, dir.file(QStringLiteral("sUser.Dat")),
                             dir.file(QStringLiteral("sGroup.Dat"))));
    EXPECT_EQ(members, (QList<QByteArray>{"alice", "dave"}));
}

} // namespace
