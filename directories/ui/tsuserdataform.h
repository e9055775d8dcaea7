#pragma once

#include "directories/datadialogs.h"
#include "directories/namelist.h"
#include "directories/ui/dialogparts.h"

#include <QDialog>

#include <utility>

class IOperatorPrompts;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "User Data": one shared user's name, PIN and provider, the providers being the companies of
// Provider.dat. Made once and reused for every Add and Edit.
class TsUserDataForm final : public QDialog, public IUserDataDialog
{
    Q_OBJECT

public:
    explicit TsUserDataForm(IOperatorPrompts& prompts, QWidget* parent = nullptr);

    void setHelpOpener(DialogParts::HelpOpener opener) { m_helpOpener = std::move(opener); }

    // IUserDataDialog
    bool execute(SharedUser& user, const QString& directory) override;

    // The folder in which LoadProviders looks for Provider.dat.
    void setDirectory(const QString& directory) { m_directory = directory; }
    const QString& directory() const { return m_directory; }
    // Lists the companies of Provider.dat, sorted, with none selected.
    void LoadProviders();
    // Selects the first provider equal to `provider` without regard to letter case, or none.
    void selectProvider(const QByteArray& provider);
    SharedUser user() const;

    QLineEdit* Name() const { return m_name; }
    QLineEdit* PIN() const { return m_pin; }
    QComboBox* Providers() const { return m_providers; }
    QLabel* ProLab() const { return m_proLab; }
    QPushButton* OKBut() const { return m_ok; }
    QPushButton* BitBtn2() const { return m_cancel; }
    QPushButton* BitBtn1() const { return m_help; }

public slots:
    void OKButClick();
    void BitBtn1Click();

private:
    IOperatorPrompts& m_prompts;
    DialogParts::HelpOpener m_helpOpener;
    QString m_directory;
    NameList m_providerNames;
    QLineEdit* m_name;
    QLineEdit* m_pin;
    QComboBox* m_providers;
    QLabel* m_proLab;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QPushButton* m_help;
};
