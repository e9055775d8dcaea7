#pragma once

#include "directories/datadialogs.h"
#include "directories/pagingcompany.h"
#include "directories/ui/dialogparts.h"

#include <QDialog>

#include <utility>

class IOperatorPrompts;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// "Paging Company Data": one company's name, access number, password and line settings.
// OK closes only with a name that can be stored and an access number.
class TPCDForm final : public QDialog, public ICompanyDataDialog
{
    Q_OBJECT

public:
    explicit TPCDForm(IOperatorPrompts& prompts, QWidget* parent = nullptr);

    void setHelpOpener(DialogParts::HelpOpener opener) { m_helpOpener = std::move(opener); }

    // ICompanyDataDialog
    bool execute(PagingCompany& company) override;

    // Shows the company as the dialog opens it (PagingCompany::normalised).
    void setCompany(const PagingCompany& company);
    PagingCompany company() const;

    QLineEdit* CompanyName() const { return m_companyName; }
    QLineEdit* TerminalAccessNum() const { return m_accessNumber; }
    QLineEdit* Password() const { return m_password; }
    QComboBox* Parity() const { return m_parity; }
    QComboBox* StopBits() const { return m_stopBits; }
    QComboBox* DataBits() const { return m_dataBits; }
    QComboBox* Length() const { return m_length; }
    QPushButton* BitBtn1() const { return m_ok; }
    QPushButton* BitBtn2() const { return m_cancel; }
    QPushButton* BitBtn3() const { return m_help; }

public slots:
    void BitBtn1Click();
    void BitBtn3Click();

private:
    QGroupBox* createTerminalGroup();

    IOperatorPrompts& m_prompts;
    DialogParts::HelpOpener m_helpOpener;
    QLineEdit* m_companyName;
    QLineEdit* m_accessNumber;
    QLineEdit* m_password;
    QComboBox* m_parity;
    QComboBox* m_stopBits;
    QComboBox* m_dataBits;
    QComboBox* m_length;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_help;
};
