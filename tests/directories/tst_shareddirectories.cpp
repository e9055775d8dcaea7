#include "directories/companylist.h"
#include "directories/datadialogs.h"
#include "directories/directorychecks.h"
#include "directories/groupmembers.h"
#include "directories/pagingcompany.h"
#include "directories/sectionname.h"
#include "directories/sharedgroupfile.h"
#include "directories/sharedlist.h"
#include "directories/sharedpaths.h"
#include "directories/shareduserfile.h"
#include "foundation/errors.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace {

// The operator at a data dialog: changes what the dialog shows and answers OK or Cancel.
class CompanyDialog final : public ICompanyDataDialog
{
public:
    std::function<bool(PagingCompany&)> onShow;
    bool execute(PagingCompany& c) override { return onShow(c); }
};

class UserDialog final : public IUserDataDialog
{
public:
    std::function<bool(SharedUser&)> onShow;
    int shown = 0;
    bool execute(SharedUser& u, const QString&) override
    {
        ++shown;
        return onShow(u);
    }
};

class GroupDialog final : public IGroupDialog
{
public:
    std::function<bool(QByteArray&, QList<QByteArray>&)> onShow;
    bool execute(QByteArray& name, QList<QByteArray>& members, const QString&,
                 const QString&) override
    {
        return onShow(name, members);
    }
};

// Writes beyond `bytes` fail, as on a full disk (also for root, whom permissions do not stop).
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit tight = m_saved;
        tight.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

class SharedDirectoriesTest : public ::testing::Test
{
protected:
    TempDataDir dir;
    ScriptedPrompts prompts;

    QByteArray file(const char* name) const { return dir.read(QLatin1String(name)); }
    SharedList openList(SharedList::Mode mode)
    {
        SharedList list(prompts);
        const bool users = mode == SharedList::Mode::Users;
        list.open({mode, dir.file(QLatin1String(users ? "sUser.Dat" : "sGroup.Dat")),
                   dir.file(QStringLiteral("sUser.Dat")), dir.path()});
        return list;
    }
};

TEST(SharedPaths, ProviderFileLiesInTheFolderOfTheUserFileABareNameInTheDataFolder)
{
    const QString data = QStringLiteral("/var/zelkor");
    EXPECT_EQ(SharedPaths::directoryOf(QStringLiteral("/srv/net/sUser.Dat"), data),
              QStringLiteral("/srv/net"));
    EXPECT_EQ(SharedPaths::directoryOf(QStringLiteral("sUser.Dat"), data), data);
    EXPECT_EQ(SharedPaths::directoryOf(QStringLiteral("/sUser.Dat"), data), QStringLiteral("/"));
    EXPECT_EQ(SharedPaths::directoryOf(QStringLiteral("lists/sUser.Dat"), data),
              QStringLiteral("/var/zelkor/lists"));
    EXPECT_EQ(SharedPaths::resolve(QStringLiteral("sGroup.Dat"), data),
              QStringLiteral("/var/zelkor/sGroup.Dat"));
}

// The dialog's lists select a line setting by its code, and the codes the queue and the port
// know are the ones the lists offer: a company opens with a value of each list or the default.
TEST(PagingCompany, TheDialogsListsHoldOneEntryPerLineCode)
{
    EXPECT_EQ(PagingCompany::parityNames().size(), LineCodes::ParityCount);
    EXPECT_EQ(PagingCompany::dataBitsNames().size(), LineCodes::DataBitsCount);
    EXPECT_EQ(PagingCompany::stopBitsNames().size(), LineCodes::StopBitsCount);
    PagingCompany edge;
    edge.Parity = 4;
    edge.DataBits = 3;
    edge.StopBits = 2;
    EXPECT_EQ(edge.normalised(), edge);
    PagingCompany beyond;
    beyond.Parity = 5;
    beyond.DataBits = -1;
    beyond.StopBits = 3;
    const PagingCompany shown = beyond.normalised();
    EXPECT_EQ(shown.Parity, LineCodes::DefaultParity);
    EXPECT_EQ(shown.DataBits, LineCodes::DefaultDataBits);
    EXPECT_EQ(shown.StopBits, LineCodes::DefaultStopBits);
}

TEST_F(SharedDirectoriesTest, CompaniesAddEditDeleteByteForByte)
{
    CompanyList list(dir.path(), prompts);
    list.open();
    CompanyDialog dialog;
    dialog.onShow = [](PagingCompany& c) {
        EXPECT_EQ(c, PagingCompany()); // Even, Seven, One, 140, all else empty
        c.Name = "Metro Page";
        c.AccessNumber = "5551234";
        return true;
    };
    EXPECT_EQ(list.add(dialog), 0);
    const QByteArray metro = "[Metro Page]\r\nAccess Number=5551234\r\nPassword=\r\n"
                             "Length=140\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n";
    EXPECT_EQ(file("Provider.dat"), metro);

    dialog.onShow = [](PagingCompany& c) {
        c = {"alpha", "911", " pw ", "240", 4, 3, 2};
        return true;
    };
    EXPECT_EQ(list.add(dialog), 0); // sorted without regard to case
    const QByteArray alpha = "[alpha]\r\nAccess Number=911\r\nPassword= pw \r\nLength=240\r\n"
                             "Parity=4\r\nDataBits=3\r\nStopBits=2\r\n";
    EXPECT_EQ(file("Provider.dat"), metro + alpha);

    // A name listed in another letter case is refused; nothing is stored.
    dialog.onShow = [](PagingCompany& c) {
        c.Name = "METRO page";
        c.AccessNumber = "1";
        return true;
    };
    EXPECT_EQ(list.add(dialog), -1);
    EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: Paging Company Already In List!"));
    EXPECT_EQ(prompts.beeps(), 1);

    // Edit under a new name stores a second section and keeps the list as it was.
    dialog.onShow = [](PagingCompany& c) {
        EXPECT_EQ(c.Length, "240");
        c.Name = "Alpha 2";
        return true;
    };
    EXPECT_TRUE(list.edit(0, dialog));
    EXPECT_EQ(file("Provider.dat"), metro + alpha + alpha.mid(0, 1) + "Alpha 2" + alpha.mid(6));
    EXPECT_EQ(list.names().names(), (QList<QByteArray>{"alpha", "Metro Page"}));
    list.open();
    EXPECT_EQ(list.names().size(), 3);

    prompts.expectQuestion(QStringLiteral("Delete Metro Page"), false);
    EXPECT_FALSE(list.remove(2));
    prompts.expectQuestion(QStringLiteral("Delete Metro Page"), true);
    EXPECT_TRUE(list.remove(2));
    EXPECT_EQ(file("Provider.dat"), alpha + "[Alpha 2]" + alpha.mid(7));
    EXPECT_EQ(prompts.beeps(), 3);
}

TEST_F(SharedDirectoriesTest, StoredValuesOutsideTheListsOpenAsTheDefaultsAndAreWrittenSo)
{
    dir.write(QStringLiteral("Provider.dat"),
              "[Hand]\r\nAccess Number=1\r\nLength=999\r\nParity=7\r\nDataBits=-1\r\n");
    CompanyList list(dir.path(), prompts);
    list.open();
    CompanyDialog dialog;
    dialog.onShow = [](PagingCompany& c) {
        EXPECT_EQ(c.Length, "80");
        EXPECT_EQ(std::tie(c.Parity, c.DataBits, c.StopBits), std::make_tuple(2, 2, 0));
        return true;
    };
    EXPECT_TRUE(list.edit(0, dialog));
    EXPECT_EQ(file("Provider.dat"), "[Hand]\r\nAccess Number=1\r\nLength=80\r\nParity=2\r\n"
                                    "DataBits=2\r\nPassword=\r\nStopBits=0\r\n");
    // The read API gives the values as stored.
    EXPECT_EQ(CompanyDirectory(dir.path()).find("hand")->Length, "80");
    EXPECT_FALSE(CompanyDirectory(dir.path()).find("Gone").has_value());
}

TEST_F(SharedDirectoriesTest, WhatTheDialogsAcceptReadsBackAsItself)
{
    // Every name over a hostile alphabet that the dialogs accept is stored as a section of its
    // own that lists and reads back as typed, also beside another company; so is every
    // password.
    const QList<QByteArray> alphabet{"a", "A", " ", "[", "]", "=", "\t", "\xe9"};
    QList<QByteArray> texts;
    for (const QByteArray& x : alphabet) {
        texts.append(x);
        texts.append("a" + x + "a");
        for (const QByteArray& y : alphabet)
            texts.append(x + y);
    }
    CompanyDirectory companies(dir.path());
    const auto storeBoth = [&](const PagingCompany& first, const PagingCompany& second) {
        dir.write(QStringLiteral("Provider.dat"), {});
        companies.write(first);
        companies.write(second);
        EXPECT_EQ(companies.names(), (QList<QByteArray>{first.Name, second.Name}))
            << first.Name.toHex().data() << " " << second.Name.toHex().data();
        EXPECT_EQ(companies.read(first.Name), first) << first.Name.toHex().data();
        EXPECT_EQ(companies.read(second.Name), second) << second.Name.toHex().data();
    };
    const auto company = [](const QByteArray& name, const QByteArray& password) {
        PagingCompany c;
        c.Name = name;
        c.AccessNumber = "42";
        c.Password = password;
        return c;
    };
    QList<QByteArray> accepted;
    for (const QByteArray& text : texts) {
        const PagingCompany named = company(text, "pw");
        if (DirectoryChecks::checkCompany(named, prompts) == DirectoryChecks::Field::None)
            accepted.append(text);
        else
            EXPECT_THROW(companies.write(named), EZelkorError) << text.toHex().data();
        const PagingCompany withPassword = company("N", text);
        if (DirectoryChecks::checkCompany(withPassword, prompts) == DirectoryChecks::Field::None)
            storeBoth(withPassword, company("M", "x"));
        else
            EXPECT_THROW(companies.write(withPassword), EZelkorError) << text.toHex().data();
    }
    EXPECT_GT(accepted.size(), 10);
    // Beside a plain name, so a name the store would take for it shows.
    for (const QByteArray& name : accepted) {
        if (!SectionName::same(name, "a"))
            storeBoth(company(name, "1"), company("a", "2"));
    }
    EXPECT_TRUE(prompts.shown().contains(QStringLiteral("warning: ") +
                                         DirectoryChecks::invalidCompanyName()));
}

TEST_F(SharedDirectoriesTest, UsersAddEditDeleteAndTheProviderRule)
{
    SharedList users = openList(SharedList::Mode::Users);
    UserDialog dialog;
    dialog.onShow = [](SharedUser& u) {
        EXPECT_EQ(u, SharedUser());
        u = {"Bob Jones", "5550001", "Metro Page"};
        return true;
    };
    EXPECT_EQ(users.addUser(dialog), 0);
    const QByteArray bob = "[Bob Jones]\r\nPIN=5550001\r\nPROVIDER=Metro Page\r\n";
    EXPECT_EQ(file("sUser.Dat"), bob);
    dialog.onShow = [](SharedUser& u) {
        u = {"BOB JONES", "1", "x"};
        return true;
    };
    EXPECT_EQ(users.addUser(dialog), -1);
    EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: User Already In List!"));
    EXPECT_EQ(prompts.beeps(), 1);

    // Edit refuses while Provider.dat lists no company, without the sound.
    dialog.shown = 0;
    EXPECT_FALSE(users.editUser(0, dialog));
    EXPECT_EQ(dialog.shown, 0);
    EXPECT_EQ(prompts.shown().last(),
              QStringLiteral("warning: You Must Enter A Service Provider First!"));
    EXPECT_EQ(prompts.beeps(), 1);

    dir.write(QStringLiteral("Provider.dat"), "[Metro Page]\r\n");
    dialog.onShow = [](SharedUser& u) {
        EXPECT_EQ(u, (SharedUser{"Bob Jones", "5550001", "Metro Page"}));
        u.Name = "Bob";
        return true;
    };
    EXPECT_TRUE(users.editUser(0, dialog));
    EXPECT_EQ(file("sUser.Dat"), bob + "[Bob]\r\nPIN=5550001\r\nPROVIDER=Metro Page\r\n");
    EXPECT_EQ(users.names().size(), 1);
    // The read API of the gateway.
    EXPECT_EQ(SharedUserFile(dir.file(QStringLiteral("sUser.Dat"))).find("bob")->PIN, "5550001");
}

// A group whose keys alone are longer than the platform's key list (1,200 members, about 9 KB
// of keys) opens in the dialog with every member, and an edit writes every one of them back.
TEST_F(SharedDirectoriesTest, AGroupLongerThanTheKeyListKeepsEveryMemberThroughAnEdit)
{
    QByteArray group = "[Everyone]\r\n";
    QList<QByteArray> everyone;
    for (int i = 0; i < 1200; ++i) {
        everyone.append("user" + QByteArray::number(100000 + i));
        group += "User" + QByteArray::number(i) + '=' + everyone.last() + "\r\n";
    }
    dir.write(QStringLiteral("sGroup.Dat"), group);
    dir.write(QStringLiteral("sUser.Dat"), "[newcomer]\r\n");
    SharedList groups = openList(SharedList::Mode::Groups);
    GroupMembers members;
    GroupDialog dialog;
    dialog.onShow = [&](QByteArray& name, QList<QByteArray>& chosen) {
        members.open(name, dir.file(QStringLiteral("sUser.Dat")),
                     dir.file(QStringLiteral("sGroup.Dat")));
        EXPECT_EQ(members.members().names().size(), 1200);
        members.add({0});
        chosen = members.members().names();
        return true;
    };
    EXPECT_TRUE(groups.editGroup(0, dialog));
    QList<QByteArray> kept =
        SharedGroupFile(dir.file(QStringLiteral("sGroup.Dat"))).members("Everyone");
    std::sort(kept.begin(), kept.end());
    everyone.append("newcomer");
    std::sort(everyone.begin(), everyone.end());
    EXPECT_EQ(kept.size(), everyone.size());
    EXPECT_TRUE(kept == everyone) << "the members written back are not the members read";
}

TEST_F(SharedDirectoriesTest, GroupsAreRewrittenWholeAndOpenWithTheirOwnMembers)
{
    dir.write(QStringLiteral("sGroup.Dat"), "[Sales East]\r\nUser0=Eve\r\nUser1=Ed\r\n");
    dir.write(QStringLiteral("sUser.Dat"), "[carol]\r\n[Alice]\r\n[Bob]\r\n[BOB]\r\n");
    SharedList groups = openList(SharedList::Mode::Groups);
    GroupMembers members;
    GroupDialog dialog;
    dialog.onShow = [&](QByteArray& name, QList<QByteArray>& chosen) {
        members.open(name, dir.file(QStringLiteral("sUser.Dat")),
                     dir.file(QStringLiteral("sGroup.Dat")));
        EXPECT_TRUE(members.members().isEmpty());
        members.add({3, 0, 1, 2}); // Bob and BOB are one member
        name = "Sales";
        chosen = members.members().names();
        return true;
    };
    EXPECT_EQ(groups.addGroup(dialog), 0);
    const QByteArray east = "[Sales East]\r\nUser0=Eve\r\nUser1=Ed\r\n";
    EXPECT_EQ(file("sGroup.Dat"), east + "[Sales]\r\nUser0=Alice\r\nUser1=Bob\r\nUser2=carol\r\n");
    EXPECT_EQ(groups.names().names(), (QList<QByteArray>{"Sales", "Sales East"}));

    dialog.onShow = [&](QByteArray& name, QList<QByteArray>& chosen) {
        members.open(name, dir.file(QStringLiteral("sUser.Dat")),
                     dir.file(QStringLiteral("sGroup.Dat")));
        EXPECT_EQ(members.members().names(), (QList<QByteArray>{"Alice", "Bob", "carol"}));
        members.remove({1});
        chosen = members.members().names();
        return true;
    };
    // The group moves to the end of the file holding exactly User0 and User1.
    dir.write(QStringLiteral("sGroup.Dat"), file("sGroup.Dat") + "[Z]\r\nUser0=x\r\n");
    EXPECT_TRUE(groups.editGroup(0, dialog));
    EXPECT_EQ(file("sGroup.Dat"),
              east + "[Z]\r\nUser0=x\r\n[Sales]\r\nUser0=Alice\r\nUser1=carol\r\n");

    dialog.onShow = [](QByteArray& name, QList<QByteArray>& chosen) {
        name = "SALES";
        chosen = {"a", "b"};
        return true;
    };
    EXPECT_EQ(groups.addGroup(dialog), -1);
    EXPECT_EQ(prompts.shown().last(), QStringLiteral("warning: Group Already In List!"));

    // Deleting a user leaves the groups as they are.
    const QByteArray groupFile = file("sGroup.Dat");
    SharedList users = openList(SharedList::Mode::Users);
    prompts.expectQuestion(QStringLiteral("Delete Alice"), true);
    EXPECT_TRUE(users.remove(0));
    EXPECT_EQ(file("sUser.Dat"), "[carol]\r\n[Bob]\r\n[BOB]\r\n");
    EXPECT_EQ(file("sGroup.Dat"), groupFile);
}

TEST_F(SharedDirectoriesTest, ARefusedWriteLeavesFilesAndListsAsTheyWere)
{
    const QByteArray before = "[Team]\r\nUser0=Alice\r\nUser1=Bob\r\nUser2=Carol\r\n[Next]\r\n";
    dir.write(QStringLiteral("sGroup.Dat"), before);
    dir.write(QStringLiteral("Provider.dat"), "[A]\r\n");
    SharedList groups = openList(SharedList::Mode::Groups);
    CompanyList companies(dir.path(), prompts);
    companies.open();
    GroupDialog groupDialog;
    groupDialog.onShow = [](QByteArray& name, QList<QByteArray>& chosen) {
        if (name.isEmpty())
            name = "New";
        chosen = {"Alice", "Bob", "Carol", "Dave"};
        return true;
    };
    CompanyDialog companyDialog;
    companyDialog.onShow = [](PagingCompany& c) {
        c.Name = "B";
        c.AccessNumber = "1";
        return true;
    };
    {
        // The file without the group fits under the limit; the rewritten group does not.
        FileSizeLimit limit(before.size());
        EXPECT_THROW(groups.editGroup(1, groupDialog), EIniFileError);
        EXPECT_THROW(groups.addGroup(groupDialog), EIniFileError);
        EXPECT_THROW(companies.add(companyDialog), EIniFileError);
    }
    EXPECT_EQ(file("sGroup.Dat"), before);
    EXPECT_EQ(groups.names().size(), 2);
    EXPECT_EQ(file("Provider.dat"), "[A]\r\n");
    EXPECT_EQ(companies.names().names(), QList<QByteArray>{"A"});
}

} // namespace
