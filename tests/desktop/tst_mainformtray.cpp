#include "desktop/helpwindow.h"
#include "desktop/tservmainform.h"
#include "desktop/tservoptionform.h"
#include "queue/messagequeuefile.h"
#include "tests/support/mainwindowtest.h"
#include "tests/support/modalanswer.h"
#include "tests/support/triggeraction.h"
#include "ui/itrayshell.h"
#include "ui/ttrayicon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

namespace {

// A notification area for the main window: records the icon and does to the window what the
// desktop would.
class RecordingShell final : public ITrayShell
{
public:
    QWidget* window = nullptr;
    bool refuseAdd = false;
    bool present = false;
    QStringList calls;
    QObject* poppedUp = nullptr;

    bool isSupported() const override { return true; }
    bool addIcon(const Tip& tip) override
    {
        calls.append(QStringLiteral("add ") + tip.text);
        present = !refuseAdd;
        return !refuseAdd;
    }
    void modifyIcon(const Tip&) override { calls.append(QStringLiteral("modify")); }
    void deleteIcon() override
    {
        calls.append(QStringLiteral("delete"));
        present = false;
    }
    bool isApplicationMinimized() const override { return window && window->isMinimized(); }
    bool isApplicationVisible() const override { return window && window->isVisible(); }
    void hideApplication() override
    {
        // Once the minimize is done, as the desktop's side does.
        calls.append(QStringLiteral("hide"));
        QTimer::singleShot(0, window, [w = window] { w->hide(); });
    }
    void restoreApplication() override
    {
        calls.append(QStringLiteral("restore"));
        window->showNormal();
    }
    QPoint cursorPos() const override { return {5, 5}; }
    void popupMenu(QObject* menu, const QPoint&) override { poppedUp = menu; }
};

class MainFormTrayTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        QCoreApplication::setApplicationName(QStringLiteral("Zelkor Server"));
        writeConfig();
    }
    // The window shown, on the desktop's notification area or on `tray`.
    void show(ITrayShell* tray)
    {
        createShown(tray);
        QCoreApplication::processEvents();
    }

    // The window goes first (TearDown): it refers to the shell.
    RecordingShell shell;
};

TEST_F(MainFormTrayTest, WithoutANotificationAreaMinimizingKeepsTheWindowInTheTaskbar)
{
    show(nullptr); // the desktop's own tray; offscreen has no notification area
    EXPECT_TRUE(window->TrayIcon1().Active()) << "the tray icon is not active from the start";
    window->showMinimized();
    settle();
    EXPECT_TRUE(window->TrayIcon1().Minimized());
    EXPECT_TRUE(window->isVisible()) << "the window left the taskbar with no icon to come back by";
    EXPECT_FALSE(window->TrayIcon1().isAdded());
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(QLatin1Char('\n')).toStdString();
    window->showNormal();
    EXPECT_FALSE(window->TrayIcon1().Minimized());
}

TEST_F(MainFormTrayTest, MinimizedToTheIconAndBackByADoubleClick)
{
    shell.window = nullptr;
    show(&shell);
    shell.window = window.get();
    EXPECT_FALSE(shell.present) << "the icon shows while the window is in view";
    EXPECT_EQ(window->TrayIcon1().tip().text, QStringLiteral("Zelkor Server"));

    window->showMinimized();
    settle();
    EXPECT_TRUE(shell.present);
    EXPECT_FALSE(window->isVisible()) << "the minimized window is still in the taskbar";

    window->TrayIcon1().shellMessage(TTrayIcon::MouseMessage::LeftButtonDoubleClick);
    settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(shell.present) << "the icon stayed after the window came back";
    EXPECT_FALSE(window->TrayIcon1().Minimized());
}

// The help window is a window of its own: it leaves the screen when the main window goes to
// the tray icon or is minimized, and comes back with it. A help window the operator closed
// stays closed.
TEST_F(MainFormTrayTest, TheHelpWindowHidesAndComesBackWithTheMainWindow)
{
    show(&shell);
    shell.window = window.get();
    triggerAction(*window, QStringLiteral("Contents1"));
    QPointer<HelpViewer> help = window->help().viewer();
    ASSERT_TRUE(help && help->isVisible());

    window->showMinimized();
    settle();
    ASSERT_FALSE(window->isVisible()) << "the window did not go to the tray icon";
    EXPECT_FALSE(help->isVisible()) << "the help window stayed while the server is in the tray";
    window->TrayIcon1().shellMessage(TTrayIcon::MouseMessage::LeftButtonDoubleClick);
    settle();
    ASSERT_TRUE(window->isVisible());
    EXPECT_TRUE(help->isVisible()) << "the help window did not come back with the main window";

    // Minimized without the tray: the window stays in the taskbar, the help goes all the same.
    shell.refuseAdd = true;
    window->showMinimized();
    settle();
    EXPECT_EQ(prompts.shown().size(), 1); // the refused icon
    EXPECT_FALSE(help->isVisible());
    window->showNormal();
    settle();
    EXPECT_TRUE(help->isVisible());

    help->close();
    settle();
    window->hide();
    window->show();
    settle();
    EXPECT_TRUE(!help || !help->isVisible()) << "a closed help window came back";
}

TEST_F(MainFormTrayTest, RefusedIconIsReportedAndTheNextMinimizeTriesAgain)
{
    show(&shell);
    shell.window = window.get();
    shell.refuseAdd = true;
    window->showMinimized();
    settle();
    EXPECT_EQ(prompts.shown(),
              QStringList{QStringLiteral("standard error: Cannot create shell notification icon")});
    EXPECT_TRUE(window->isVisible()) << "the window left the taskbar without an icon";

    window->showNormal();
    shell.refuseAdd = false;
    window->showMinimized();
    settle();
    EXPECT_TRUE(shell.present);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompts.shown().size(), 1);
}

TEST_F(MainFormTrayTest, TheIconsMenuShutsTheServerDown)
{
    show(&shell);
    shell.window = window.get();
    int exitRequested = 0;
    QObject::connect(window.get(), &TServMainForm::applicationExitRequested,
                     [&] { ++exitRequested; });
    window->showMinimized();
    settle();
    window->TrayIcon1().shellMessage(TTrayIcon::MouseMessage::RightButtonUp);
    ASSERT_EQ(shell.poppedUp, window->SysTrayMenu());
    const QList<QAction*> items = window->SysTrayMenu()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), QStringLiteral("&Shut Down"));
    triggerAction(items[0]);
    EXPECT_EQ(exitRequested, 1);
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

TEST_F(MainFormTrayTest, SettingsApplyTheTraySwitchWhenConfirmed)
{
    show(&shell);
    shell.window = window.get();
    auto confirmTray = [](bool on) {
        return answerModal<TServOptionForm>([on](TServOptionForm& form) {
            form.findChild<QCheckBox*>(QStringLiteral("SystemTray"))->setChecked(on);
            form.accept();
        });
    };
    {
        const auto answer = confirmTray(false);
        window->Settings1Click();
    }
    EXPECT_FALSE(window->TrayIcon1().Active());
    window->showMinimized();
    settle();
    EXPECT_TRUE(window->isVisible()) << "an inactive tray icon hid the window";
    EXPECT_FALSE(shell.present);
    window->showNormal();

    const auto answer = confirmTray(true);
    window->Settings1Click();
    EXPECT_TRUE(window->TrayIcon1().Active());
}

} // namespace
