#include "server/servercore.h"
#include "server/ui/contexthelp.h"
#include "server/ui/tservmainform.h"
#include "server/ui/widgetprompts.h"
#include "server/ui/zelkorapplication.h"

#include <QDialog>
#include <QDir>
#include <QTimer>

namespace {

// The build's smoke test starts the program offscreen in an empty folder and lets it run for
// two seconds. Nobody is there to answer the first start's settings dialog, so it is confirmed
// with what it shows, as an operator pressing OK would.
void armSmokeTest(QApplication& app)
{
    auto* confirm = new QTimer(&app);
    QObject::connect(confirm, &QTimer::timeout, &app, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    confirm->start(200);
    QTimer::singleShot(2000, &app, &QApplication::quit);
}

} // namespace

int main(int argc, char** argv)
{
    ZelkorApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelkor Server"));
    app.installEventFilter(new ContextHelp(&app));

    WidgetPrompts prompts;
    app.setPrompts(&prompts);
    // The data directory is the working directory at start-up.
    ServerCore core(QDir::currentPath(), prompts);
    TServMainForm window(core, prompts);
    prompts.setParent(&window);
    QObject::connect(&window, &TServMainForm::applicationExitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    if (qEnvironmentVariableIsSet("ZELKOR_SMOKE_TEST"))
        armSmokeTest(app);
    window.show();
    const int result = app.exec();
    app.setPrompts(nullptr);
    return result;
}
