#include "desktop/contexthelp.h"
#include "desktop/tservmainform.h"
#include "desktop/widgetprompts.h"
#include "desktop/zelkorapplication.h"
#include "foundation/folderlock.h"
#include "http/httpsettings.h"
#include "runtime/datafolder.h"
#include "runtime/serverruntime.h"
#include "service/headlessprompts.h"
#include "service/headlessserver.h"
#include "service/programoptions.h"
#include "service/signalwatcher.h"
#include "snpp/snppsettings.h"
#include "ui/programicon.h"

#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>
#include <optional>

namespace {

// The server without a display: no widget is ever made, so no display is needed.
int runHeadless(int argc, char** argv, const ProgramOptions& options)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Zelkor Server"));
    // Standard output may be a pipe to a log collector that goes away; the server stays.
    std::signal(SIGPIPE, SIG_IGN);

    HeadlessPrompts prompts;
    HeadlessServer server(options.dataDir, prompts);
    SignalWatcher watcher({SIGTERM, SIGINT, SIGHUP});
    QObject::connect(&watcher, &SignalWatcher::received, &server, [&server](int number) {
        if (number == SIGHUP)
            server.reload();
        else
            server.stop();
    });
    // Queued: the run or conversation that ended is left before the loop stops.
    QObject::connect(
        &server, &HeadlessServer::finished, &app, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    if (!server.start())
        return 1;
    return app.exec();
}

// Prints the help, the version or a mistake in the command line, makes the data folder, claims
// it with `lock` and applies --snpp-port and --http-port. Gives an exit code when the program ends
// here.
std::optional<int> settle(const ProgramOptions& options, FolderLock& lock)
{
    switch (options.action) {
    case ProgramOptions::Action::Help:
    case ProgramOptions::Action::Version:
        std::fputs(options.message.toLocal8Bit().constData(), stdout);
        return 0;
    case ProgramOptions::Action::Error:
        std::fprintf(stderr, "zelkor-server: %s\n(--help lists the options)\n",
                     options.message.toLocal8Bit().constData());
        return 2;
    case ProgramOptions::Action::Run:
        break;
    }

    // The data folder is made when missing and becomes the working directory, so every file
    // the server names without a folder lands in it, as when it is started there.
    if (!QDir().mkpath(options.dataDir) || !QDir::setCurrent(options.dataDir)) {
        std::fprintf(stderr, "zelkor-server: cannot use the data folder %s\n",
                     options.dataDir.toLocal8Bit().constData());
        return 2;
    }
    // The folder is this server's before any file in it is read or written: a second server
    // started on it ends here, having changed nothing, and the first goes on undisturbed.
    if (const std::optional<QString> refusal = DataFolder::claim(options.dataDir, lock)) {
        std::fprintf(stderr, "zelkor-server: %s\n", refusal->toLocal8Bit().constData());
        return 1;
    }
    DataFolder::removeStaleTemporaries(options.dataDir);
    // "--snpp-port N" switches the SNPP gateway on at port N (0 off) and keeps the setting.
    if (options.snppPort) {
        const QStringList snpp{QStringLiteral("zelkor-server"), QStringLiteral("--snpp-port"),
                               *options.snppPort};
        if (const auto problem = SnppSettings::applyArguments(snpp, options.dataDir)) {
            std::fprintf(stderr, "zelkor-server: %s\n", problem->constData());
            return 2;
        }
    }
    // "--http-port N" does the same for the HTTP front end in Http.Dat.
    if (options.httpPort) {
        const QStringList http{QStringLiteral("zelkor-server"), QStringLiteral("--http-port"),
                               *options.httpPort};
        if (const auto problem = HttpSettings::applyArguments(http, options.dataDir)) {
            std::fprintf(stderr, "zelkor-server: %s\n", problem->constData());
            return 2;
        }
    }
    return std::nullopt;
}

bool displayNamed()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int runDesktop(int argc, char** argv, ProgramOptions options, FolderLock& lock)
{
    ZelkorApplication app(argc, argv);
    if (options.action == ProgramOptions::Action::Error) {
        // The application has taken Qt's own options (-platform, -style, ...) out of the
        // command line; what is left is read again.
        options = ProgramOptions::parse(app.arguments(), QDir::currentPath());
        if (const std::optional<int> exitCode = settle(options, lock))
            return *exitCode;
    }
    QApplication::setApplicationName(QStringLiteral("Zelkor Server"));
    QApplication::setWindowIcon(ProgramIcon::icon());
    // The program ends when its main window closes, not when the last window in view does:
    // with the main window in the tray, closing the help or a box must not end the server.
    QApplication::setQuitOnLastWindowClosed(false);

    WidgetPrompts prompts;
    app.setPrompts(&prompts);
    ServerRuntime runtime(options.dataDir, prompts);
    TServMainForm window(runtime, prompts);
    // F1 anywhere in the program opens the main window's help.
    ContextHelp f1(window.help());
    app.installEventFilter(&f1);
    prompts.setParent(&window);
    QObject::connect(&window, &TServMainForm::applicationExitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    window.show();
    const int result = app.exec();
    app.setPrompts(nullptr);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ProgramOptions options = ProgramOptions::parse(arguments, QDir::currentPath());
    const bool headless = arguments.contains(QStringLiteral("--headless"));
    // A command line that does not read may hold Qt's own options for the desktop application,
    // which takes them before the rest is read again. Headless, or without a display for a
    // window, there is no such application: the mistake is reported at once.
    const bool forTheWindowSystem =
        options.action == ProgramOptions::Action::Error && !headless && displayNamed();
    // Held until the program ends.
    FolderLock lock;
    if (!forTheWindowSystem) {
        if (const std::optional<int> exitCode = settle(options, lock))
            return *exitCode;
    }
    return headless ? runHeadless(argc, argv, options) : runDesktop(argc, argv, options, lock);
}
