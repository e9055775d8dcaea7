#pragma once

#include "directories/ui/dialogparts.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class IOperatorPrompts;
class QWidget;
class TGroupForm;
class TsUserDataForm;
class TsUsersForm;

// The "&Shared Lists" commands of the main window. The shared list, user data and group
// dialogs are made once, with the main window, and reused; the company list is made for each
// use. Paths come from the settings as typed; relative ones are taken from the data folder.
class SharedListCommands final : public QObject
{
    Q_OBJECT

public:
    SharedListCommands(const QString& dataDir, IOperatorPrompts& prompts, QWidget* window);
    ~SharedListCommands() override;

    void setHelpOpener(const DialogParts::HelpOpener& opener);

    // "&Users Lists": the users of the shared user file.
    void Users1Click(const QByteArray& userFile);
    // "&Groups Lists": the groups of the shared group file, of the users of the user file.
    void Groups1Click(const QByteArray& userFile, const QByteArray& groupFile);
    // "&Paging Companies": Provider.dat in the folder of the shared user file.
    void PagingCompanies1Click(const QByteArray& userFile);

    TsUsersForm& sUsersForm() const { return *m_usersForm; }
    TsUserDataForm& sUserDataForm() const { return *m_userDataForm; }
    TGroupForm& GroupForm() const { return *m_groupForm; }

private:
    QString path(const QByteArray& configured) const;

    QString m_dataDir;
    IOperatorPrompts& m_prompts;
    QWidget* m_window;
    DialogParts::HelpOpener m_helpOpener;
    TGroupForm* m_groupForm;
    TsUserDataForm* m_userDataForm;
    TsUsersForm* m_usersForm;
};
