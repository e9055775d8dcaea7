#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelkor Server"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Zelkor LAN Server Ver. 1.0"));
    window.resize(435, 300);
    window.show();
    // The build's smoke test starts the program offscreen and lets it run for two seconds.
    if (qEnvironmentVariableIsSet("ZELKOR_SMOKE_TEST"))
        QTimer::singleShot(2000, &app, &QApplication::quit);
    return app.exec();
}
