#include "ui/ttrayicon.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// A notification area and an application window that record what the tray icon asks of them.
class FakeShell final : public ITrayShell
{
public:
    bool supported = true;
    bool refuseAdd = false;
    bool minimized = false;
    bool hidden = false;
    bool present = false;
    QPoint cursor{640, 470};
    QStringList calls;

    bool isSupported() const override { return supported; }
    bool addIcon(const Tip& tip) override
    {
        // A second add of the same icon is an error of the caller's on every desktop.
        calls.append(present ? QStringLiteral("add again") : QStringLiteral("add ") + tip.text);
        if (refuseAdd)
            return false;
        present = true;
        return true;
    }
    void modifyIcon(const Tip& tip) override
    {
        calls.append(QStringLiteral("modify ") + (tip.hasTip ? tip.text : QStringLiteral("-")));
    }
    void deleteIcon() override
    {
        calls.append(QStringLiteral("delete"));
        present = false;
    }
    bool isApplicationMinimized() const override { return minimized; }
    bool isApplicationVisible() const override { return !hidden; }
    void hideApplication() override
    {
        calls.append(QStringLiteral("hide"));
        hidden = true;
    }
    void restoreApplication() override
    {
        calls.append(QStringLiteral("restore"));
        hidden = false;
        minimized = false;
    }
    QPoint cursorPos() const override { return cursor; }
    void popupMenu(QObject* menu, const QPoint& at) override
    {
        calls.append(
            QStringLiteral("popup %1 at %2,%3").arg(menu->objectName()).arg(at.x()).arg(at.y()));
    }
};

const QString Title = QStringLiteral("Zelkor Server");

void minimize(FakeShell& shell, TTrayIcon& tray)
{
    shell.minimized = true;
    tray.applicationMinimized();
}

void restore(FakeShell& shell, TTrayIcon& tray)
{
    shell.minimized = false;
    tray.applicationRestored();
}

TEST(TrayIconTip, TitleUntilAHintThenTheHintCutTo63Characters)
{
    FakeShell shell;
    TTrayIcon tray(shell, Title);
    tray.setActive(true);
    EXPECT_EQ(tray.tip().text, Title);
    EXPECT_TRUE(tray.tip().hasTip);
    shell.calls.clear();

    const QString seventy = QString(70, QLatin1Char('x')).replace(0, 3, QStringLiteral("abc"));
    tray.setHint(seventy);
    EXPECT_EQ(tray.Hint(), seventy);
    EXPECT_EQ(tray.tip().text, seventy.left(63));
    EXPECT_EQ(shell.calls, QStringList{QStringLiteral("modify ") + seventy.left(63)});

    shell.calls.clear();
    tray.setHint(seventy);
    EXPECT_TRUE(shell.calls.isEmpty()) << "the same hint again was sent to the shell";

    // A character outside the basic plane is never cut in half.
    const QString wide = QString(62, QLatin1Char('y')) + QString::fromUtf8("\xF0\x9F\x93\x9F");
    tray.setHint(wide);
    EXPECT_EQ(tray.tip().text, QString(62, QLatin1Char('y')));

    tray.setHint(QString());
    EXPECT_FALSE(tray.tip().hasTip) << "a hint emptied later leaves the icon without a tool tip";
    EXPECT_EQ(shell.calls.last(), QStringLiteral("modify -"));
}

TEST(TrayIconTip, EmptyHintAtCreationKeepsTheTitleAndInactiveIconsSendNothing)
{
    FakeShell shell;
    TTrayIcon tray(shell, Title);
    tray.setHint(QString());
    EXPECT_EQ(tray.tip().text, Title);
    tray.setHint(QStringLiteral("Queued: 3"));
    EXPECT_TRUE(shell.calls.isEmpty()) << "an inactive icon talked to the shell";

    FakeShell untitled;
    TTrayIcon bare(untitled, QString());
    EXPECT_FALSE(bare.tip().hasTip);
}

TEST(TrayIconPresence, SeparateIconWithActiveWhileMinimizedAddsTheIcon)
{
    FakeShell shell;
    shell.minimized = true;
    TTrayIcon tray(shell, Title);
    EXPECT_TRUE(tray.Minimized()) << "the window's state at creation is not taken over";
    tray.setSeparateIcon(true);
    EXPECT_FALSE(shell.present);
    tray.setActive(true);
    EXPECT_TRUE(shell.present);
    EXPECT_EQ(shell.calls, QStringList{QStringLiteral("add Zelkor Server")});
}

// Every sequence of the operator's and the settings' actions keeps the icon in the notification
// area exactly while the tray is active and the window minimized or the icon separate, and
// never hides the window without an icon to bring it back.
TEST(TrayIconPresence, IconShownExactlyWhileActiveAndMinimizedOrSeparate)
{
    QRandomGenerator random(15);
    for (int run = 0; run < 200; ++run) {
        FakeShell shell;
        TTrayIcon tray(shell, Title);
        QStringList steps;
        for (int step = 0; step < 12; ++step) {
            switch (random.bounded(4)) {
            case 0: {
                const bool on = random.bounded(2) == 1;
                steps.append(on ? QStringLiteral("active") : QStringLiteral("inactive"));
                tray.setActive(on);
                // A window the tray icon restored tells it so, as the main window does.
                if (!shell.minimized && tray.Minimized())
                    tray.applicationRestored();
                break;
            }
            case 1: {
                const bool on = random.bounded(2) == 1;
                steps.append(on ? QStringLiteral("separate") : QStringLiteral("joined"));
                tray.setSeparateIcon(on);
                break;
            }
            case 2:
                if (tray.Minimized())
                    continue;
                steps.append(QStringLiteral("minimize"));
                minimize(shell, tray);
                break;
            case 3:
                if (!tray.Minimized())
                    continue;
                steps.append(QStringLiteral("restore"));
                restore(shell, tray);
                break;
            }
            const QString trail = steps.join(QLatin1Char(' '));
            const bool expected = tray.Active() && (tray.Minimized() || tray.SeparateIcon());
            ASSERT_EQ(shell.present, expected) << trail.toStdString();
            ASSERT_EQ(tray.isAdded(), expected) << trail.toStdString();
            ASSERT_FALSE(shell.calls.contains(QStringLiteral("add again"))) << trail.toStdString();
            ASSERT_TRUE(!shell.hidden || (shell.present && tray.Minimized()))
                << "window hidden without an icon to bring it back: " << trail.toStdString();
        }
    }
}

TEST(TrayIconPresence, InactiveMinimizeAndRestoreOnlyRaiseTheirEvents)
{
    FakeShell shell;
    TTrayIcon tray(shell, Title);
    QSignalSpy minimized(&tray, &TTrayIcon::OnMinimize);
    QSignalSpy restored(&tray, &TTrayIcon::OnRestore);
    minimize(shell, tray);
    EXPECT_TRUE(tray.Minimized());
    restore(shell, tray);
    EXPECT_FALSE(tray.Minimized());
    EXPECT_EQ(minimized.count(), 1);
    EXPECT_EQ(restored.count(), 1);
    EXPECT_TRUE(shell.calls.isEmpty()) << shell.calls.join(QStringLiteral(", ")).toStdString();
    EXPECT_FALSE(shell.hidden);
}

TEST(TrayIconPresence, MinimizeHidesBehindTheIconAndRestoreBringsTheWindowBack)
{
    FakeShell shell;
    TTrayIcon tray(shell, Title);
    tray.setActive(true);
    shell.calls.clear();
    QSignalSpy minimized(&tray, &TTrayIcon::OnMinimize);
    minimize(shell, tray);
    EXPECT_EQ(shell.calls,
              (QStringList{QStringLiteral("add Zelkor Server"), QStringLiteral("hide")}));
    EXPECT_EQ(minimized.count(), 1);
    shell.calls.clear();
    restore(shell, tray);
    EXPECT_EQ(shell.calls, (QStringList{QStringLiteral("restore"), QStringLiteral("delete")}));
    EXPECT_FALSE(shell.hidden);
}

TEST(TrayIconShell, WithoutANotificationAreaNoIconIsAddedAndTheWindowStaysReachable)
{
    FakeShell shell;
    shell.supported = false;
    TTrayIcon tray(shell, Title);
    tray.setActive(true);
    tray.setSeparateIcon(true);
    tray.setHint(QStringLiteral("x"));
    QSignalSpy minimized(&tray, &TTrayIcon::OnMinimize);
    EXPECT_NO_THROW(minimize(shell, tray));
    EXPECT_EQ(minimized.count(), 1);
    EXPECT_FALSE(shell.hidden) << "minimizing stranded the window without a notification area";
    EXPECT_FALSE(shell.calls.filter(QStringLiteral("add")).size() > 0);
    EXPECT_FALSE(shell.calls.contains(QStringLiteral("modify x")));
}

TEST(TrayIconShell, RefusedIconKeepsTheWindowReachableAndTheNextMinimizeTriesAgain)
{
    FakeShell shell;
    shell.refuseAdd = true;
    TTrayIcon tray(shell, Title);
    tray.setActive(true);
    QSignalSpy minimized(&tray, &TTrayIcon::OnMinimize);
    try {
        minimize(shell, tray);
        ADD_FAILURE() << "a refused icon was not reported";
    } catch (const EOutOfResources& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Cannot create shell notification icon"));
    }
    EXPECT_FALSE(shell.hidden);
    EXPECT_FALSE(tray.isAdded());
    EXPECT_EQ(minimized.count(), 1);

    restore(shell, tray);
    shell.refuseAdd = false;
    shell.calls.clear();
    minimize(shell, tray);
    EXPECT_EQ(shell.calls,
              (QStringList{QStringLiteral("add Zelkor Server"), QStringLiteral("hide")}));
    EXPECT_TRUE(tray.isAdded());

    // Setting Active while minimized reports a refusal to its caller too.
    restore(shell, tray);
    tray.setActive(false);
    minimize(shell, tray);
    shell.refuseAdd = true;
    EXPECT_THROW(tray.setActive(true), EOutOfResources);
    EXPECT_FALSE(tray.isAdded());
}

TEST(TrayIconMouse, RightClickPopsTheMenuAtTheCursorOnlyForAHiddenWindowOrASeparateIcon)
{
    FakeShell shell;
    TTrayIcon tray(shell, Title);
    QObject menu;
    menu.setObjectName(QStringLiteral("SysTrayMenu"));
    tray.setPopupMenu(&menu);
    tray.setActive(true);
    QStringList order;
    QObject::connect(&tray, &TTrayIcon::OnRightClick,
                     [&](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
                         EXPECT_EQ(button, Qt::RightButton);
                         EXPECT_EQ(shift, Qt::NoModifier);
                         order.append(shell.calls.join(QLatin1Char('|')) +
                                      QStringLiteral(" then right click %1,%2").arg(x).arg(y));
                     });
    minimize(shell, tray);
    shell.calls.clear();
    tray.shellMessage(TTrayIcon::MouseMessage::RightButtonUp);
    EXPECT_EQ(order,
              QStringList{QStringLiteral("popup SysTrayMenu at 640,470 then right click 640,470")});

    restore(shell, tray);
    shell.calls.clear();
    order.clear();
    tray.shellMessage(TTrayIcon::MouseMessage::RightButtonUp);
    EXPECT_EQ(order, QStringList{QStringLiteral(" then right click 640,470")})
        << "the icon's menu showed over a window in view";

    tray.setSeparateIcon(true);
    shell.calls.clear();
    order.clear();
    tray.shellMessage(TTrayIcon::MouseMessage::RightButtonUp);
    EXPECT_EQ(order,
              QStringList{QStringLiteral("popup SysTrayMenu at 640,470 then right click 640,470")});

    tray.setPopupMenu(nullptr);
    shell.calls.clear();
    tray.shellMessage(TTrayIcon::MouseMessage::RightButtonUp);
    EXPECT_TRUE(shell.calls.isEmpty());
}

} // namespace
