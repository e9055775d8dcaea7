#include "ui/ttrayicon.h"

namespace {

// At most the notification area's length, never ending in half a character.
QString cutTip(const QString& text)
{
    if (text.size() <= TTrayIcon::MaxTipLength)
        return text;
    QString cut = text.left(TTrayIcon::MaxTipLength);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

} // namespace

TTrayIcon::TTrayIcon(ITrayShell& shell, const QString& applicationTitle, QObject* parent)
    : QObject(parent), m_shell(shell)
{
    m_tip.text = cutTip(applicationTitle);
    m_tip.hasTip = !m_tip.text.isEmpty();
    m_minimized = m_shell.isApplicationMinimized();
}

TTrayIcon::~TTrayIcon()
{
    if (m_active)
        removeIcon();
}

void TTrayIcon::setActive(bool active)
{
    m_active = active;
    if (m_active && (m_minimized || m_separateIcon)) {
        addIcon();
        return;
    }
    removeIcon();
    // Without its icon a window hidden behind it could not be reached again.
    if (m_windowHidden) {
        m_windowHidden = false;
        m_shell.restoreApplication();
    }
}

void TTrayIcon::setSeparateIcon(bool separate)
{
    m_separateIcon = separate;
    if (m_separateIcon && m_active)
        addIcon();
    else if (!m_separateIcon && m_active && !m_minimized)
        removeIcon();
}

void TTrayIcon::setHint(const QString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    m_tip.text = cutTip(hint);
    m_tip.hasTip = !hint.isEmpty();
    updateIcon();
}

void TTrayIcon::updateIcon()
{
    if (m_active && shellSupported())
        m_shell.modifyIcon(m_tip);
}

bool TTrayIcon::tryAddIcon()
{
    if (!m_active || !shellSupported() || !m_notAdded)
        return true;
    if (!m_shell.addIcon(m_tip))
        return false;
    m_notAdded = false;
    return true;
}

void TTrayIcon::addIcon()
{
    if (!tryAddIcon())
        throw EOutOfResources(AddFailedText);
}

void TTrayIcon::removeIcon()
{
    if (shellSupported())
        m_shell.deleteIcon();
    m_notAdded = true;
}

void TTrayIcon::shellMessage(MouseMessage message)
{
    switch (message) {
    case MouseMessage::LeftButtonUp:
        emit OnClick();
        break;
    case MouseMessage::LeftButtonDoubleClick:
        emit OnDblClick();
        break;
    case MouseMessage::RightButtonUp: {
        const QPoint at = m_shell.cursorPos();
        // With the window in view its own menus serve; the icon's menu is for the hidden
        // window, or for an icon that is always there.
        if (m_popupMenu && (!m_shell.isApplicationVisible() || m_separateIcon))
            m_shell.popupMenu(m_popupMenu, at);
        emit OnRightClick(Qt::RightButton, Qt::NoModifier, at.x(), at.y());
        break;
    }
    case MouseMessage::Other:
        break;
    }
}

void TTrayIcon::applicationMinimized()
{
    bool refused = false;
    if (m_active && shellSupported()) {
        // The window leaves the taskbar only once the icon is there to bring it back: a
        // desktop without a notification area, or one that refuses the icon, would otherwise
        // leave the operator no way back to the server.
        refused = !tryAddIcon();
        if (!refused) {
            m_shell.hideApplication();
            m_windowHidden = true;
        }
    }
    m_minimized = true;
    emit OnMinimize();
    if (refused)
        throw EOutOfResources(AddFailedText);
}

void TTrayIcon::applicationRestored()
{
    m_windowHidden = false;
    if (m_active) {
        m_shell.restoreApplication();
        if (!m_separateIcon)
            removeIcon();
    }
    emit OnRestore();
    m_minimized = false;
}
