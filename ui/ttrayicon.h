#pragma once

#include "foundation/errors.h"
#include "ui/itrayshell.h"

#include <QObject>
#include <QPointer>
#include <QString>

// The desktop refused to take the tray icon.
class EOutOfResources final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};

// The application's icon in the desktop's notification area. While it is active, minimizing
// the application hides its window from the taskbar and shows the icon instead; restoring
// brings the window back and takes the icon away (unless SeparateIcon keeps it there). Mouse
// actions on the icon come back as signals. The notification area and the window are reached
// through ITrayShell, so the rules need no display.
class TTrayIcon final : public QObject
{
    Q_OBJECT

public:
    // What the notification area reports of the mouse on the icon.
    enum class MouseMessage { LeftButtonUp, LeftButtonDoubleClick, RightButtonUp, Other };

    // The most characters of a tool tip that the notification area shows.
    static constexpr int MaxTipLength = 63;
    static constexpr char AddFailedText[] = "Cannot create shell notification icon";

    // Starts inactive. The tool tip is the application's title until a Hint is set. When the
    // application is minimized already and the icon becomes active, the icon is added.
    TTrayIcon(ITrayShell& shell, const QString& applicationTitle, QObject* parent = nullptr);
    ~TTrayIcon() override;

    bool Active() const { return m_active; }
    // Adding the icon raises EOutOfResources when the desktop refuses it. Made inactive while
    // the window is hidden behind the icon, the window is restored.
    void setActive(bool active);
    const QString& Hint() const { return m_hint; }
    void setHint(const QString& hint);
    bool SeparateIcon() const { return m_separateIcon; }
    void setSeparateIcon(bool separate);
    // The menu a right click pops up (a QMenu on the desktop); none when null.
    QObject* PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QObject* menu) { m_popupMenu = menu; }

    // The icon is in the notification area now.
    bool isAdded() const { return !m_notAdded; }
    bool Minimized() const { return m_minimized; }
    // The tool tip as the notification area has it.
    const ITrayShell::Tip& tip() const { return m_tip; }

    // The icon's image changed: the notification area gets it while the icon is active.
    void updateIcon();

    // The notification area's report of a mouse action on the icon.
    void shellMessage(MouseMessage message);
    // The application was minimized: hides its window behind the icon. When the desktop
    // refuses the icon, the window stays where the operator can reach it and EOutOfResources
    // is raised; the next minimize tries again.
    void applicationMinimized();
    // The application was restored: its window comes back to the front.
    void applicationRestored();

signals:
    void OnClick();
    void OnDblClick();
    void OnRightClick(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnMinimize();
    void OnRestore();

private:
    bool shellSupported() const { return m_shell.isSupported(); }
    // False when the desktop refused the icon.
    bool tryAddIcon();
    void addIcon();
    void removeIcon();

    ITrayShell& m_shell;
    bool m_active = false;
    QString m_hint;
    bool m_separateIcon = false;
    QPointer<QObject> m_popupMenu;
    ITrayShell::Tip m_tip;
    bool m_notAdded = true;
    bool m_minimized = false;
    // The window is hidden from the taskbar with the icon standing for it.
    bool m_windowHidden = false;
};
