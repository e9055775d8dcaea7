#pragma once

#include "ui/itrayshell.h"
#include "ui/ttrayicon.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

class QSystemTrayIcon;
class QWidget;

// The desktop side of the tray icon: the notification area through QSystemTrayIcon, and the
// application's main window, which is hidden from the taskbar while the icon stands for it.
class SystemTrayShell final : public QObject, public ITrayShell
{
    Q_OBJECT

public:
    // `window` is the application's main window; `icon` the image shown in the notification
    // area (a copy of the application's icon).
    SystemTrayShell(QWidget* window, const QIcon& icon, QObject* parent = nullptr);
    ~SystemTrayShell() override;

    const QIcon& icon() const { return m_icon; }
    // True when `icon` is another image than the one shown; the caller then tells the tray
    // icon to send it (TTrayIcon::updateIcon).
    bool setIcon(const QIcon& icon);

    bool isSupported() const override;
    bool addIcon(const Tip& tip) override;
    void modifyIcon(const Tip& tip) override;
    void deleteIcon() override;
    bool isApplicationMinimized() const override;
    bool isApplicationVisible() const override;
    void hideApplication() override;
    void restoreApplication() override;
    QPoint cursorPos() const override;
    void popupMenu(QObject* menu, const QPoint& at) override;

signals:
    // A mouse action on the icon, as the tray icon's rules take it.
    void shellMessage(TTrayIcon::MouseMessage message);

private:
    QPointer<QWidget> m_window;
    QIcon m_icon;
    QSystemTrayIcon* m_tray;
};
