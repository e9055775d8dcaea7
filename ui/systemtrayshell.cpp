#include "ui/systemtrayshell.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {

TTrayIcon::MouseMessage messageOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TTrayIcon::MouseMessage::LeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return TTrayIcon::MouseMessage::LeftButtonDoubleClick;
    case QSystemTrayIcon::Context:
        return TTrayIcon::MouseMessage::RightButtonUp;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return TTrayIcon::MouseMessage::Other;
}

} // namespace

SystemTrayShell::SystemTrayShell(QWidget* window, const QIcon& icon, QObject* parent)
    : QObject(parent), m_window(window), m_icon(icon), m_tray(new QSystemTrayIcon(icon, this))
{
    m_tray->setObjectName(QStringLiteral("SystemTrayIcon"));
    // No context menu is handed to the notification area: the tray icon's rules decide when
    // the pop-up menu shows, so a right click comes back here as a Context activation.
    connect(
        m_tray, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) { emit shellMessage(messageOf(reason)); });
}

SystemTrayShell::~SystemTrayShell() = default;

bool SystemTrayShell::setIcon(const QIcon& icon)
{
    if (icon.cacheKey() == m_icon.cacheKey())
        return false;
    m_icon = icon;
    m_tray->setIcon(icon);
    return true;
}

bool SystemTrayShell::isSupported() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTrayShell::addIcon(const Tip& tip)
{
    // The notification area can go away while the program runs (the panel is restarted),
    // and an icon without an image is never shown.
    if (!QSystemTrayIcon::isSystemTrayAvailable() || m_icon.isNull())
        return false;
    m_tray->setToolTip(tip.hasTip ? tip.text : QString());
    m_tray->show();
    return m_tray->isVisible();
}

void SystemTrayShell::modifyIcon(const Tip& tip)
{
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(tip.hasTip ? tip.text : QString());
}

void SystemTrayShell::deleteIcon()
{
    m_tray->hide();
}

bool SystemTrayShell::isApplicationMinimized() const
{
    return m_window && m_window->isMinimized();
}

bool SystemTrayShell::isApplicationVisible() const
{
    return m_window && m_window->isVisible();
}

void SystemTrayShell::hideApplication()
{
    // Hidden once the minimize has run its course: some window managers would otherwise
    // map the window again as they finish minimizing it. A restore in between wins.
    if (!m_window)
        return;
    QTimer::singleShot(0, m_window.data(), [window = m_window] {
        if (window && window->isMinimized())
            window->hide();
    });
}

void SystemTrayShell::restoreApplication()
{
    if (!m_window)
        return;
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

QPoint SystemTrayShell::cursorPos() const
{
    return QCursor::pos();
}

void SystemTrayShell::popupMenu(QObject* menu, const QPoint& at)
{
    if (auto* popup = qobject_cast<QMenu*>(menu))
        popup->popup(at);
}
