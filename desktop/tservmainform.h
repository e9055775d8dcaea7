#pragma once

#include "core/settingscommand.h"
#include "desktop/mainwindowtray.h"

#include <QMainWindow>
#include <QPointer>

class HelpWindow;
class IOperatorPrompts;
class ITrayShell;
class LogWindowTiler;
class MainMenu;
class QMdiArea;
class QMdiSubWindow;
class ServerRuntime;
class ServerState;
class SharedListCommands;
class LinesPage;
class PageKeepingPage;
class SnppOptionsPage;
class HttpOptionsPage;
class StatusPanels;
class TANBLForm;
class TAboutBox;
class TConnectionLogForm;
class TServOptionForm;
class TTrayIcon;

// The main window: a frame holding the "Connection Log" and "Transmition Log" windows, the menu
// of operator commands and the status bar. It presents the running server (ServerRuntime): it
// shows the state and forwards the operator's commands to the runtime's verbs. What only the
// desktop does stays here: the settings dialog at the first start, the tray, the dialogs.
class TServMainForm final : public QMainWindow
{
    Q_OBJECT

public:
    TServMainForm(ServerRuntime& runtime, IOperatorPrompts& prompts, QWidget* parent = nullptr);
    // With the tray icon's notification area and window handling behind `trayShell` (tests).
    TServMainForm(ServerRuntime& runtime, IOperatorPrompts& prompts, ITrayShell& trayShell,
                  QWidget* parent = nullptr);
    ~TServMainForm() override;

    MainMenu& menu() const { return *m_menu; }
    StatusPanels& statusPanels() const { return *m_panels; }
    TConnectionLogForm* ConnectionLogForm() const { return m_connectionLog; }
    // Created at first show.
    TConnectionLogForm* TransmitLog() const { return m_transmitLog; }
    TAboutBox* aboutBox() const;
    // The open allow list dialog, if any.
    TANBLForm* ANBLForm() const;
    // The tray icon, active from the start, and its pop-up menu with "&Shut Down".
    TTrayIcon& TrayIcon1() const { return m_tray->TrayIcon1(); }
    QMenu* SysTrayMenu() const { return m_tray->SysTrayMenu(); }
    LogWindowTiler& logWindowTiler() const { return *m_tiler; }
    // The program's one help window.
    HelpWindow& help() const { return *m_help; }

signals:
    // The program is to end: the main window closed, or the operator chose to exit instead of
    // configuring the server. Windows of its own (help, viewers) must not keep it running.
    void applicationExitRequested();

public slots:
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void Timer1Timer();
    void TrayIcon1DblClick();

    void SendNow1Click();
    void CancelCall1Click();
    void ClearMsgQueue1Click();
    void SendTestMsg1Click();
    void ShowIPAddress1Click();
    void LogViewer1Click();
    void AccessBlockList1Click();
    void Settings1Click();
    void ShutDown1Click();
    void Users1Click();
    void Groups1Click();
    void PagingCompanies1Click();
    void Contents1Click();
    void About1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct TrayShellChoice
    {
        ITrayShell* shell; // none: the desktop's notification area
    };
    TServMainForm(ServerRuntime& runtime, IOperatorPrompts& prompts, TrayShellChoice tray,
                  QWidget* parent);

    QMdiSubWindow* addLogWindow(TConnectionLogForm* form);
    void connectMenu();

    ServerRuntime& m_runtime;
    ServerState& m_state;
    IOperatorPrompts& m_prompts;
    QMdiArea* m_mdiArea;
    MainMenu* m_menu;
    StatusPanels* m_panels;
    TServOptionForm* m_optionForm;
    TConnectionLogForm* m_connectionLog;
    TConnectionLogForm* m_transmitLog = nullptr;
    SettingsCommand m_settings;
    QPointer<TAboutBox> m_aboutBox;
    QPointer<TANBLForm> m_anblForm;
    SharedListCommands* m_sharedLists;
    SnppOptionsPage* m_snppPage;
    PageKeepingPage* m_pagesPage;
    HttpOptionsPage* m_httpPage;
    LinesPage* m_linesPage;
    LogWindowTiler* m_tiler;
    MainWindowTray* m_tray;
    HelpWindow* m_help;
    bool m_shown = false;
};
