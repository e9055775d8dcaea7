#include "desktop/tservmainform.h"
#include "directories/sharedpaths.h"
#include "directories/ui/sharedlistcommands.h"
#include "directories/ui/tgroupform.h"
#include "directories/ui/tpcdform.h"
#include "directories/ui/tpclform.h"
#include "directories/ui/tsuserdataform.h"
#include "directories/ui/tsusersform.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/triggeraction.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace {

class SharedListsMenu : public MainWindowTest
{
protected:
    void SetUp() override
    {
        create();
        core.setConfig(TServerConfig::defaults(dir.path()));
    }
    QByteArray file(const char* name) const { return dir.read(QLatin1String(name)); }
};

// Picks a name as the operator does, with a click on it.
void clickRow(QListWidget* list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
    ASSERT_EQ(list->selectedItems().size(), 1);
    ASSERT_EQ(list->currentRow(), row);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST_F(SharedListsMenu, PagingCompaniesOfABareUserFileLiveInTheDataFolder)
{
    configure([&](TServerConfig& c) { c.UserFile = "sUser.Dat"; });
    dir.write(SharedPaths::ProviderFileName, "[Metro Page]\r\nAccess Number=1\r\n");
    const auto list = answerModal<TPCLForm>([&](TPCLForm& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Paging Companies"));
        EXPECT_EQ(form.ListBox1()->count(), 1);
        const auto data = answerModal<TPCDForm>([](TPCDForm& company) {
            company.CompanyName()->setText(QStringLiteral("acme"));
            company.TerminalAccessNum()->setText(QStringLiteral("5551234"));
            company.Password()->setText(QStringLiteral("secret"));
            company.Length()->setCurrentIndex(3);
            company.BitBtn1()->click();
        });
        form.AddUserBut()->click();
        ASSERT_EQ(form.ListBox1()->count(), 2);
        EXPECT_EQ(form.ListBox1()->item(0)->text(), QStringLiteral("acme"));
        form.BitBtn4()->click();
    });
    trigger("PagingCompanies1");
    EXPECT_EQ(file("Provider.dat"),
              "[Metro Page]\r\nAccess Number=1\r\n[acme]\r\nAccess Number=5551234\r\n"
              "Password=secret\r\nLength=240\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n");
}

TEST_F(SharedListsMenu, UsersThenGroupsFromTheSharedListsMenu)
{
    dir.write(SharedPaths::ProviderFileName, "[Metro Page]\r\n");
    dir.write(QStringLiteral("sUser.Dat"), "[Zoe]\r\nPIN=9\r\nPROVIDER=METRO PAGE\r\n");
    const auto users = answerModal<TsUsersForm>([&](TsUsersForm& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Shared Users"));
        EXPECT_EQ(form.property("helpContext").toInt(), 30);
        const auto add = answerModal<TsUserDataForm>([](TsUserDataForm& user) {
            EXPECT_TRUE(user.Name()->text().isEmpty());
            EXPECT_EQ(user.Providers()->currentIndex(), -1);
            user.Name()->setText(QStringLiteral("Al"));
            user.PIN()->setText(QStringLiteral("42"));
            user.Providers()->setCurrentIndex(0);
            user.OKBut()->click();
        });
        form.AddUserBut()->click();
        ASSERT_EQ(form.ListBox1()->count(), 2);
        // Edit by double-click: the stored provider in another letter case is selected.
        const auto edit = answerModal<TsUserDataForm>([](TsUserDataForm& user) {
            EXPECT_EQ(user.Name()->text(), QStringLiteral("Zoe"));
            EXPECT_EQ(user.Providers()->currentText(), QStringLiteral("Metro Page"));
            user.BitBtn2()->click();
        });
        form.ListBox1()->item(1)->setSelected(true);
        emit form.ListBox1()->itemDoubleClicked(form.ListBox1()->item(1));
        form.BitBtn4()->click();
    });
    trigger("Users1");
    EXPECT_EQ(file("sUser.Dat"),
              "[Zoe]\r\nPIN=9\r\nPROVIDER=METRO PAGE\r\n[Al]\r\nPIN=42\r\nPROVIDER=Metro Page\r\n");

    const auto groups = answerModal<TsUsersForm>([&](TsUsersForm& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Shared Groups"));
        EXPECT_EQ(form.property("helpContext").toInt(), 32);
        const auto add = answerModal<TGroupForm>([](TGroupForm& group) {
            group.GroupName()->setText(QStringLiteral("Both"));
            group.aUser()->selectAll();
            group.AddBut()->click();
            group.OKBut()->click();
        });
        form.AddUserBut()->click();
        EXPECT_EQ(form.ListBox1()->count(), 1);
        form.BitBtn4()->click();
    });
    trigger("Groups1");
    EXPECT_EQ(file("sGroup.Dat"), "[Both]\r\nUser0=Al\r\nUser1=Zoe\r\n");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

// The three lists of the data folder are links to lists kept in another folder: what the
// dialogs add goes into those lists, and the links stay links.
TEST_F(SharedListsMenu, LinkedListsGetTheNewEntriesAndStayLinks)
{
    QTemporaryDir shared;
    const auto sharedFile = [&](const char* name) {
        return shared.path() + QLatin1Char('/') + QLatin1String(name);
    };
    const auto writeShared = [&](const char* name, const QByteArray& bytes) {
        QFile f(sharedFile(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    writeShared("Provider.dat", "[Metro Page]\r\nAccess Number=1\r\n");
    writeShared("sUser.Dat", "[Zoe]\r\nPIN=9\r\nPROVIDER=Metro Page\r\n");
    const char* const lists[] = {"Provider.dat", "sUser.Dat", "sGroup.Dat"};
    for (const char* name : lists)
        ASSERT_EQ(::symlink(QFile::encodeName(sharedFile(name)).constData(),
                            QFile::encodeName(dir.file(QLatin1String(name))).constData()),
                  0);

    const auto companies = answerModal<TPCLForm>([&](TPCLForm& form) {
        const auto data = answerModal<TPCDForm>([](TPCDForm& company) {
            company.CompanyName()->setText(QStringLiteral("acme"));
            company.TerminalAccessNum()->setText(QStringLiteral("5551234"));
            company.BitBtn1()->click();
        });
        form.AddUserBut()->click();
        form.BitBtn4()->click();
    });
    trigger("PagingCompanies1");
    const auto users = answerModal<TsUsersForm>([&](TsUsersForm& form) {
        const auto add = answerModal<TsUserDataForm>([](TsUserDataForm& user) {
            user.Name()->setText(QStringLiteral("Al"));
            user.PIN()->setText(QStringLiteral("42"));
            user.Providers()->setCurrentIndex(0);
            user.OKBut()->click();
        });
        form.AddUserBut()->click();
        form.BitBtn4()->click();
    });
    trigger("Users1");
    const auto groups = answerModal<TsUsersForm>([&](TsUsersForm& form) {
        const auto add = answerModal<TGroupForm>([](TGroupForm& group) {
            group.GroupName()->setText(QStringLiteral("Both"));
            group.aUser()->selectAll();
            group.AddBut()->click();
            group.OKBut()->click();
        });
        form.AddUserBut()->click();
        form.BitBtn4()->click();
    });
    trigger("Groups1");

    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(QLatin1Char('\n')).toStdString();
    for (const char* name : lists)
        EXPECT_TRUE(QFileInfo(dir.file(QLatin1String(name))).isSymLink())
            << name << " in the data folder is no longer a link";
    EXPECT_EQ(readFile(sharedFile("Provider.dat")),
              "[Metro Page]\r\nAccess Number=1\r\n[acme]\r\nAccess Number=5551234\r\n"
              "Password=\r\nLength=140\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n");
    EXPECT_EQ(readFile(sharedFile("sUser.Dat")),
              "[Zoe]\r\nPIN=9\r\nPROVIDER=Metro Page\r\n[Al]\r\nPIN=42\r\nPROVIDER=acme\r\n");
    EXPECT_EQ(readFile(sharedFile("sGroup.Dat")), "[Both]\r\nUser0=Al\r\nUser1=Zoe\r\n");
}

// After a Delete no name is selected, so a second Delete (Enter on the button, a double
// press) asks about nobody and removes nothing.
TEST_F(SharedListsMenu, AfterADeleteNoNameIsSelected)
{
    dir.write(QStringLiteral("sUser.Dat"), "[Al]\r\nPIN=1\r\n[Bo]\r\nPIN=2\r\n[Cy]\r\nPIN=3\r\n");
    dir.write(SharedPaths::ProviderFileName, "[Aa]\r\n[Bb]\r\n[Cc]\r\n");
    const auto deleteSecondTwice = [&](QListWidget* list, QPushButton* deleteBut,
                                       const char* name) {
        clickRow(list, 1);
        prompts.expectQuestion(QStringLiteral("Delete ") + QLatin1String(name), true);
        deleteBut->click();
        ASSERT_TRUE(prompts.scriptDone());
        ASSERT_EQ(list->count(), 2);
        EXPECT_TRUE(list->selectedItems().isEmpty())
            << "after deleting " << name << ", "
            << list->selectedItems().value(0)->text().toStdString() << " is selected";
        EXPECT_EQ(list->currentRow(), -1);
        deleteBut->click(); // a question here fails the test
        EXPECT_EQ(list->count(), 2);
    };
    const auto users = answerModal<TsUsersForm>([&](TsUsersForm& form) {
        deleteSecondTwice(form.ListBox1(), form.DeleteBut(), "Bo");
        form.BitBtn4()->click();
    });
    trigger("Users1");
    const auto companies = answerModal<TPCLForm>([&](TPCLForm& form) {
        deleteSecondTwice(form.ListBox1(), form.DeleteBut(), "Bb");
        form.BitBtn4()->click();
    });
    trigger("PagingCompanies1");
    EXPECT_EQ(file("sUser.Dat"), "[Al]\r\nPIN=1\r\n[Cy]\r\nPIN=3\r\n");
    EXPECT_EQ(file("Provider.dat"), "[Aa]\r\n[Cc]\r\n");
}

} // namespace
