#pragma once

#include "desktop/tservmainform.h"
#include "tests/support/runtimetest.h"

#include <QByteArray>

#include <functional>
#include <memory>

class ITrayShell;
class QAction;
class ScriptedModem;

// The main window on a running server: the one base of the window suites. create() makes the
// window with Timer1 stopped (the tests drive the tick themselves); the first show loads
// Server.Dat and starts the server as the program does.
class MainWindowTest : public RuntimeTest
{
protected:
    void TearDown() override;

    // Server.Dat as the first show loads it: the defaults, listening on a loopback port of the
    // test's own, then `change`.
    void writeConfig(const std::function<void(TServerConfig&)>& change = {});
    // The same for calls through `modem`, linked as COM1 (9600 baud, no flow control), with an
    // Allow.txt that lets the run dial the 555 numbers and durations at a fiftieth.
    void writeCallingConfig(ScriptedModem& modem,
                            const std::function<void(TServerConfig&)>& change = {});

    // The window, with the tray's notification area behind `tray` when given.
    TServMainForm& create(ITrayShell* tray = nullptr);
    // create(), then the first show.
    TServMainForm& createShown(ITrayShell* tray = nullptr);

    // The window's action `name`; fails the test when there is none.
    QAction* action(const char* name) const;
    // Triggers the menu command `name` as the operator does.
    void trigger(const char* name) const;
    // Lets layouts, posted moves and resizes take effect.
    static void settle();
    // Frees the windows that closed themselves.
    static void flushDeletes();

    std::unique_ptr<TServMainForm> window;
};
