#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ITrayShell;
class QMenu;
class QWidget;
class TTrayIcon;

// The main window's tray icon TrayIcon1 with its pop-up menu SysTrayMenu ("&Shut Down"): it
// follows the window's minimize and restore, and reports a refused icon in the standard error
// box once the handler that met it is done.
class MainWindowTray final : public QObject
{
    Q_OBJECT

public:
    using ErrorBox = std::function<void(const QString& message)>;

    // Without a shell the desktop's notification area serves. `shutDown` is the main window's
    // shut-down command.
    MainWindowTray(QWidget* window, ITrayShell* shell, const std::function<void()>& shutDown,
                   ErrorBox errorBox);
    ~MainWindowTray() override;

    TTrayIcon& TrayIcon1() const { return *m_trayIcon; }
    QMenu* SysTrayMenu() const { return m_menu; }

    // The window's state changed.
    void windowStateChanged(bool minimized);
    // Sets Active from the settings; a refused icon goes to the error box.
    void setActive(bool active);

private:
    void reportLater(const QString& message);

    QWidget* m_window;
    QMenu* m_menu;
    ErrorBox m_errorBox;
    // Goes before the shell it talks to when the shell is the window's own.
    std::unique_ptr<TTrayIcon> m_trayIcon;
};
