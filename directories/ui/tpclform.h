#pragma once

#include "directories/companylist.h"
#include "directories/ui/dialogparts.h"

#include <QDialog>

#include <utility>

class IOperatorPrompts;
class QListWidget;
class QPushButton;

// "Paging Companies": the sorted company names of Provider.dat with Add, Edit and Delete. Made
// for one use by the main window; each Add and Edit shows a company dialog of its own.
class TPCLForm final : public QDialog
{
    Q_OBJECT

public:
    // `directory` is the folder of Provider.dat (the folder of the shared user file).
    TPCLForm(const QString& directory, IOperatorPrompts& prompts, QWidget* parent = nullptr);

    void setHelpOpener(DialogParts::HelpOpener opener) { m_helpOpener = std::move(opener); }

    const CompanyList& companies() const { return m_companies; }

    QListWidget* ListBox1() const { return m_listBox; }
    QPushButton* AddUserBut() const { return m_add; }
    QPushButton* EditUserBut() const { return m_edit; }
    QPushButton* DeleteBut() const { return m_delete; }
    QPushButton* BitBtn4() const { return m_close; }
    QPushButton* BitBtn5() const { return m_help; }

public slots:
    void FormShow();
    void AddUserButClick();
    void EditUserButClick();
    void DeleteButClick();
    void BitBtn5Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    IOperatorPrompts& m_prompts;
    DialogParts::HelpOpener m_helpOpener;
    CompanyList m_companies;
    QListWidget* m_listBox;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_delete;
    QPushButton* m_close;
    QPushButton* m_help;
    bool m_shown = false;
};
