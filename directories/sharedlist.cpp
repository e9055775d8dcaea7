#include "directories/sharedlist.h"

#include "directories/companydirectory.h"
#include "directories/datadialogs.h"
#include "directories/directorychecks.h"
#include "directories/sharedgroupfile.h"
#include "directories/shareduserfile.h"
#include "foundation/operatorprompts.h"
#include "foundation/tinifile.h"
#include "foundation/widgettext.h"

SharedList::SharedList(IOperatorPrompts& prompts) : m_prompts(prompts) {}

void SharedList::open(const Setup& setup)
{
    m_setup = setup;
    QList<QByteArray> names;
    ListSections(m_setup.listFile, names);
    m_names = NameList(names);
}

qsizetype SharedList::addUser(IUserDataDialog& dialog)
{
    SharedUser user;
    if (!dialog.execute(user, m_setup.directory))
        return -1;
    if (m_names.containsIgnoringCase(user.Name)) {
        DirectoryChecks::warn(m_prompts, QStringLiteral("User Already In List!"));
        return -1;
    }
    SharedUserFile(m_setup.listFile).write(user);
    return m_names.insert(user.Name);
}

bool SharedList::editUser(qsizetype index, IUserDataDialog& dialog)
{
    if (!m_names.isValidIndex(index))
        return false;
    SharedUserFile file(m_setup.listFile);
    SharedUser user = file.read(m_names.at(index));
    if (CompanyDirectory(m_setup.directory).names().isEmpty()) {
        // The one warning of these dialogs that comes without the sound.
        m_prompts.showMessage(IOperatorPrompts::BoxKind::Warning,
                              QStringLiteral("You Must Enter A Service Provider First!"));
        return false;
    }
    if (!dialog.execute(user, m_setup.directory))
        return false;
    // A changed name stores the user a second time and keeps the old section.
    file.write(user);
    return true;
}

qsizetype SharedList::addGroup(IGroupDialog& dialog)
{
    QByteArray name;
    QList<QByteArray> members;
    if (!dialog.execute(name, members, m_setup.userFile, m_setup.listFile))
        return -1;
    if (m_names.containsIgnoringCase(name)) {
        DirectoryChecks::warn(m_prompts, QStringLiteral("Group Already In List!"));
        return -1;
    }
    SharedGroupFile(m_setup.listFile).write(name, members);
    return m_names.insert(name);
}

bool SharedList::editGroup(qsizetype index, IGroupDialog& dialog)
{
    if (!m_names.isValidIndex(index))
        return false;
    QByteArray name = m_names.at(index);
    QList<QByteArray> members;
    if (!dialog.execute(name, members, m_setup.userFile, m_setup.listFile))
        return false;
    // A changed name stores the group a second time and keeps the old section.
    SharedGroupFile(m_setup.listFile).write(name, members);
    return true;
}

bool SharedList::remove(qsizetype index)
{
    if (!m_names.isValidIndex(index))
        return false;
    const QByteArray name = m_names.at(index);
    m_prompts.beep();
    if (!m_prompts.askYesNo(IOperatorPrompts::BoxKind::Warning,
                            QStringLiteral("Delete ") + WidgetText::fromBytes(name)))
        return false;
    // Deleting a user leaves the groups that name it as they are.
    TIniFile(m_setup.listFile).DeleteSection(name);
    m_names.removeAt(index);
    return true;
}
