#include "tests/support/mainwindowtest.h"

#include "core/configfile.h"
#include "tests/support/freeport.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/triggeraction.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>

void MainWindowTest::TearDown()
{
    window.reset();
}

void MainWindowTest::writeConfig(const std::function<void(TServerConfig&)>& change)
{
    TServerConfig config = TServerConfig::defaults(dir.path());
    // The listener starts at first show: a port of its own keeps parallel runs apart.
    config.Port = freeLoopbackPort();
    if (change)
        change(config);
    ASSERT_TRUE(ConfigFile::SaveConfig(dir.path(), config, prompts));
}

void MainWindowTest::writeCallingConfig(ScriptedModem& modem,
                                        const std::function<void(TServerConfig&)>& change)
{
    pacing.setScale(0.02);
    ASSERT_TRUE(modem.isValid()) << "no pseudo-terminal for the modem";
    ASSERT_TRUE(modem.linkAs(dir.path(), 1));
    // The run dials only numbers the allow list allows; the first show loads it.
    dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    writeConfig([&](TServerConfig& config) {
        config.ComPort = 0;
        config.ComPortSpeed = 6;
        config.FlowControl = 0;
        if (change)
            change(config);
    });
}

TServMainForm& MainWindowTest::create(ITrayShell* tray)
{
    window = tray ? std::make_unique<TServMainForm>(runtime, prompts, *tray)
                  : std::make_unique<TServMainForm>(runtime, prompts);
    runtime.stopTicking();
    return *window;
}

TServMainForm& MainWindowTest::createShown(ITrayShell* tray)
{
    create(tray);
    window->show();
    return *window;
}

QAction* MainWindowTest::action(const char* name) const
{
    auto* found = window->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no menu item " << name;
    return found;
}

void MainWindowTest::trigger(const char* name) const
{
    triggerAction(*window, QLatin1String(name));
}

void MainWindowTest::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void MainWindowTest::flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
