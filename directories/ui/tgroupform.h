#pragma once

#include "directories/datadialogs.h"
#include "directories/groupmembers.h"
#include "directories/ui/dialogparts.h"

#include <QDialog>

#include <utility>

class IOperatorPrompts;
class QLineEdit;
class QListWidget;
class QToolButton;

// "Group Data": a group's name and members, chosen from the users of the shared user file.
// Made once and reused; every opening refills it from the two files. Its buttons are small
// picture buttons known by their tool tips.
class TGroupForm final : public QDialog, public IGroupDialog
{
    Q_OBJECT

public:
    explicit TGroupForm(IOperatorPrompts& prompts, QWidget* parent = nullptr);

    void setHelpOpener(DialogParts::HelpOpener opener) { m_helpOpener = std::move(opener); }

    // IGroupDialog
    bool execute(QByteArray& name, QList<QByteArray>& members, const QString& userFile,
                 const QString& groupFile) override;

    const GroupMembers& groupMembers() const { return m_members; }

    QLineEdit* GroupName() const { return m_groupName; }
    QListWidget* aUser() const { return m_available; }
    QListWidget* ListBox2() const { return m_inGroup; }
    QToolButton* HelpBut() const { return m_helpBut; }
    QToolButton* ClearBut() const { return m_clearBut; }
    QToolButton* OKBut() const { return m_okBut; }
    QToolButton* SpeedButton1() const { return m_cancelBut; }
    QToolButton* AddBut() const { return m_addBut; }
    QToolButton* RemoveBut() const { return m_removeBut; }

public slots:
    void AddButClick();
    void RemoveButClick();
    void ClearButClick();
    void OKButClick();
    void HelpButClick();

private:
    QToolButton* pictureButton(const char* name, int icon, const QString& toolTip);
    void showMembers();

    IOperatorPrompts& m_prompts;
    DialogParts::HelpOpener m_helpOpener;
    GroupMembers m_members;
    QLineEdit* m_groupName;
    QListWidget* m_available;
    QListWidget* m_inGroup;
    QToolButton* m_helpBut;
    QToolButton* m_clearBut;
    QToolButton* m_okBut;
    QToolButton* m_cancelBut;
    QToolButton* m_addBut;
    QToolButton* m_removeBut;
};
