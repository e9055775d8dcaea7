#pragma once

#include "directories/sharedlist.h"
#include "directories/ui/dialogparts.h"

#include <QDialog>

#include <utility>

class IGroupDialog;
class IOperatorPrompts;
class IUserDataDialog;
class QListWidget;
class QPushButton;

// The shared list dialog: "Shared Users" or "Shared Groups", the sorted names of the edited
// file with Add, Edit and Delete of the mode. Made once and reused; each opening sets its mode,
// paths and caption anew.
class TsUsersForm final : public QDialog
{
    Q_OBJECT

public:
    TsUsersForm(IOperatorPrompts& prompts, IUserDataDialog& userData, IGroupDialog& group,
                QWidget* parent = nullptr);

    void setHelpOpener(DialogParts::HelpOpener opener) { m_helpOpener = std::move(opener); }

    // Sets the caption, mode and paths, fills the list from the edited file and shows the
    // dialog modally.
    int execute(const QString& caption, const SharedList::Setup& setup);
    // The same without showing: the opening of the dialog.
    void open(const QString& caption, const SharedList::Setup& setup);

    const SharedList& list() const { return m_list; }

    QListWidget* ListBox1() const { return m_listBox; }
    QPushButton* AddUserBut() const { return m_add; }
    QPushButton* EditUserBut() const { return m_edit; }
    QPushButton* DeleteBut() const { return m_delete; }
    QPushButton* BitBtn4() const { return m_close; }
    QPushButton* BitBtn5() const { return m_help; }

public slots:
    void AddUserButClick();
    void EditUserButClick();
    void DeleteButClick();
    void BitBtn5Click();

private:
    IOperatorPrompts& m_prompts;
    IUserDataDialog& m_userData;
    IGroupDialog& m_group;
    DialogParts::HelpOpener m_helpOpener;
    SharedList m_list;
    QListWidget* m_listBox;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_delete;
    QPushButton* m_close;
    QPushButton* m_help;
};
