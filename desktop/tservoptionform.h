#pragma once

#include "core/ioptionsdialog.h"
#include "desktop/sharedfilepicker.h"
#include "directories/modemdefinitions.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class IOperatorPrompts;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class WidgetPrompts;

// The options dialog: general settings, modem, shared directories and the IP lists. Made once
// at start-up and reused; the modem types are read from Modems.Dat then.
class TServOptionForm final : public QDialog, public IOptionsDialog
{
    Q_OBJECT

public:
    using FilePickRequest = SharedFilePicker::Request;
    using FilePicker = std::function<std::optional<QString>(const FilePickRequest&)>;
    using HelpOpener = std::function<void(int topic)>;

    enum Page { GeneralPage, ModemPage, SharedPage, IPPage };

    explicit TServOptionForm(const QString& dataDir, QWidget* parent = nullptr);
    ~TServOptionForm() override;

    void setFilePicker(FilePicker picker) { m_filePicker = std::move(picker); }
    // The Help button opens its page's topic here; without an opener it does nothing.
    void setHelpOpener(HelpOpener opener) { m_helpOpener = std::move(opener); }

    // IOptionsDialog
    void showFirstPage() override;
    void selectModemType(const QByteArray& modemType) override;
    void ModemListChange() override;
    void setValues(const OptionValues& values) override;
    bool execute() override;
    OptionValues values() const override;

    // What keeps a page's entries from being stored, as a text for the operator; nothing when
    // they can be.
    using PageCheck = std::function<std::optional<QString>()>;

    // The help topic of each page.
    static int helpTopic(Page page);
    // Adds a page after the four above. Its help topic is the page's help context. OK asks
    // `check` before the dialog closes: a refusal is shown in a warning box and the dialog
    // stays open on that page, with the focus on it (its focus proxy), and nothing is stored.
    void addPage(QWidget* page, const QString& title, PageCheck check = {});
    // Where the warning of a refused OK is shown; message boxes of the dialog's own until set.
    void setPrompts(IOperatorPrompts& prompts) { m_prompts = &prompts; }

public slots:
    void BitBtn1Click();
    void Dir3Click();
    void Dir4Click();
    void BitBtn3Click();

private:
    QWidget* createGeneralPage();
    QWidget* createModemPage();
    QWidget* createSharedPage();
    QWidget* createIPPage();
    std::optional<QString> pickFile(const FilePickRequest& request);
    // The first of the dialog's own entries that the settings file cannot hold as typed, and
    // the warning that says why; nothing when they all can be stored.
    std::optional<std::pair<QWidget*, QString>> unstorableEntry() const;
    // OK is refused: the page comes to the front, the warning is shown, `focus` takes the focus.
    void refuse(QWidget* page, QWidget* focus, const QString& why);

    ModemDefinitions m_modems;
    FilePicker m_filePicker;
    HelpOpener m_helpOpener;
    std::unique_ptr<WidgetPrompts> m_ownPrompts;
    IOperatorPrompts* m_prompts;
    QList<std::pair<QWidget*, PageCheck>> m_pageChecks;

    // The modem type entry selected at this moment; -1 when typed text names none.
    int m_selectedModem = -1;
    QTabWidget* m_pages = nullptr;
    QLineEdit* m_queTime = nullptr;
    QLineEdit* m_port = nullptr;
    QCheckBox* m_systemTray = nullptr;
    QCheckBox* m_logging = nullptr;
    QComboBox* m_modemList = nullptr;
    QLineEdit* m_initStrin = nullptr;
    QComboBox* m_commPort = nullptr;
    QComboBox* m_commSpeed = nullptr;
    QComboBox* m_flowControl = nullptr;
    QLineEdit* m_sUser = nullptr;
    QLineEdit* m_sGroup = nullptr;
    QLineEdit* m_ipAccept = nullptr;
    QLineEdit* m_ipDeny = nullptr;
};
