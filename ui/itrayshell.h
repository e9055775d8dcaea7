#pragma once

#include <QPoint>
#include <QString>

class QObject;

// What the tray icon needs of the desktop: the notification area and the application's window.
// The desktop program puts a system tray icon behind it; tests put a fake that records every
// call, so the tray rules run without a notification area.
class ITrayShell
{
public:
    // The icon's tool tip as the notification area gets it: at most 63 characters, and
    // `hasTip` false when the icon has none.
    struct Tip
    {
        QString text;
        bool hasTip = false;
    };

    virtual ~ITrayShell() = default;

    // The desktop has a notification area.
    virtual bool isSupported() const = 0;
    // Puts the icon into the notification area; false when the desktop refuses it.
    virtual bool addIcon(const Tip& tip) = 0;
    // Sends the icon's changed image and tool tip.
    virtual void modifyIcon(const Tip& tip) = 0;
    // Takes the icon out of the notification area; harmless when it is not there.
    virtual void deleteIcon() = 0;

    // The application's window: minimized at this moment, visible, hidden from the taskbar,
    // restored and brought to the front.
    virtual bool isApplicationMinimized() const = 0;
    virtual bool isApplicationVisible() const = 0;
    virtual void hideApplication() = 0;
    virtual void restoreApplication() = 0;

    // The mouse cursor's position on the screen, and a pop-up menu shown there.
    virtual QPoint cursorPos() const = 0;
    virtual void popupMenu(QObject* menu, const QPoint& at) = 0;
};
