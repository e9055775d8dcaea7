#include "server/servercore.h"
#include "server/ui/contexthelp.h"
#include "server/ui/tservmainform.h"
#include "server/ui/widgetprompts.h"
#include "server/ui/zelkorapplication.h"
#include "snpp/snppsettings.h"
#include "ui/programicon.h"

#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    ZelkorApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelkor Server"));
    QApplication::setWindowIcon(ProgramIcon::icon());
    // The program ends when its main window closes, not when the last window in view does:
    // with the main window in the tray, closing the help or a box must not end the server.
    QApplication::setQuitOnLastWindowClosed(false);

    // "--snpp-port N" switches the SNPP gateway on at port N (0 off) and keeps the setting.
    if (const auto problem = SnppSettings::applyArguments(app.arguments(), QDir::currentPath())) {
        std::fprintf(stderr, "zelkor-server: %s\n", problem->constData());
        return 2;
    }

    WidgetPrompts prompts;
    app.setPrompts(&prompts);
    // The data directory is the working directory at start-up.
    ServerCore core(QDir::currentPath(), prompts);
    TServMainForm window(core, prompts);
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
