#include "directories/directorychecks.h"
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

#include <functional>

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

// The files hold one byte per character (Latin-1). A name (or a company's password) typed
// with a character beyond that is refused with a warning, the dialog stays open with the focus
// on it, and nothing becomes "?"; Latin-1 letters are stored as their bytes.
TEST(DataForms, NamesOutsideLatin1AreRefusedInsteadOfStoredAsQuestionMarks)
{
    TempDataDir dir;
    dir.write(SharedPaths::ProviderFileName, "[Metro Page]\r\n");
    dir.write(QStringLiteral("sUser.Dat"), "[Al]\r\n[Zoe]\r\n");
    ScriptedPrompts prompts;
    const auto refused = [&](QDialog& form, const std::function<void()>& ok, QWidget* field,
                             const QString& warning) {
        ok();
        EXPECT_EQ(prompts.shown().value(prompts.shown().size() - 1).toStdString(),
                  (QStringLiteral("warning: ") + warning).toStdString());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.focusWidget(), field);
    };

    TPCDForm company(prompts);
    PagingCompany stored;
    const auto companyAnswer = answerModal<TPCDForm>([&](TPCDForm& shown) {
        const auto ok = [&] { shown.BitBtn1()->click(); };
        shown.TerminalAccessNum()->setText(QStringLiteral("5551234"));
        shown.CompanyName()->setText(QStringLiteral("\u014Csaka Paging"));
        refused(shown, ok, shown.CompanyName(), DirectoryChecks::unstorableCompanyName());
        shown.CompanyName()->setText(QStringLiteral("Caf\u00E9 Page"));
        shown.Password()->setText(QStringLiteral("\u043F\u0430\u0440\u043E\u043B\u044C"));
        refused(shown, ok, shown.Password(), DirectoryChecks::unstorablePassword());
        shown.Password()->setText(QStringLiteral("p\u00E4sse"));
        ok();
    });
    ASSERT_TRUE(company.execute(stored));
    EXPECT_EQ(stored.Name, "Caf\xE9 Page");
    EXPECT_EQ(stored.Password, "p\xE4sse");

    TsUserDataForm user(prompts);
    SharedUser typed;
    const auto userAnswer = answerModal<TsUserDataForm>([&](TsUserDataForm& shown) {
        const auto ok = [&] { shown.OKBut()->click(); };
        shown.PIN()->setText(QStringLiteral("42"));
        shown.Providers()->setCurrentIndex(0);
        shown.Name()->setText(QStringLiteral("\u0141ukasz"));
        refused(shown, ok, shown.Name(), DirectoryChecks::unstorableUserName());
        // A character beyond the first 65536 is two halves; neither has a byte.
        shown.Name()->setText(QStringLiteral("Al \U0001F680"));
        refused(shown, ok, shown.Name(), DirectoryChecks::unstorableUserName());
        shown.Name()->setText(QStringLiteral("L\u00FAc\u00E1s"));
        ok();
    });
    ASSERT_TRUE(user.execute(typed, dir.path()));
    EXPECT_EQ(typed.Name, "L\xFA" "c\xE1s");

    TGroupForm group(prompts);
    QByteArray name;
    QList<QByteArray> members;
    const auto groupAnswer = answerModal<TGroupForm>([&](TGroupForm& shown) {
        const auto ok = [&] { byToolTip(&shown, "Except And Exit")->click(); };
        shown.aUser()->selectAll();
        byToolTip(&shown, "Add To List")->click();
        shown.GroupName()->setText(QStringLiteral("\u041A\u043E\u043C\u0430\u043D\u0434\u0430"));
        refused(shown, ok, shown.GroupName(), DirectoryChecks::unstorableGroupName());
        shown.GroupName()->setText(QStringLiteral("\u00C9quipe"));
        ok();
    });
    ASSERT_TRUE(group.execute(name, members, dir.file(QStringLiteral("sUser.Dat")),
                              dir.file(QStringLiteral("sGroup.Dat"))));
    EXPECT_EQ(name, "\xC9quipe");
    EXPECT_EQ(prompts.shown().size(), 5) << prompts.shown().join(QLatin1Char('\n')).toStdString();
}

} // namespace
