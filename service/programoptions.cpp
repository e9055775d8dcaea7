#include "service/programoptions.h"

#include <QCommandLineParser>
#include <QDir>

ProgramOptions ProgramOptions::parse(const QStringList& arguments, const QString& workingDir)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Zelkor LAN Server: takes pages from workstations and delivers them "
                       "through a modem to paging companies."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Runs without a display: the logs go to standard output, errors to "
                       "standard error. SIGTERM or SIGINT stops, SIGHUP reloads the settings."));
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("The folder of Server.Dat, Message.Dat, Log.Dat and Allow.txt "
                       "(default: the working directory). Made when missing."),
        QStringLiteral("dir"));
    const QCommandLineOption snppPort(
        QStringLiteral("snpp-port"),
        QStringLiteral("Switches the SNPP gateway on at this port (0: off) and keeps the setting."),
        QStringLiteral("port"));
    const QCommandLineOption httpPort(
        QStringLiteral("http-port"),
        QStringLiteral("Switches the HTTP front end on at this port (0: off) and keeps the "
                       "setting in Http.Dat."),
        QStringLiteral("port"));
    parser.addOptions({help, version, headless, dataDir, snppPort, httpPort});

    ProgramOptions options;
    if (!parser.parse(arguments)) {
        options.action = Action::Error;
        options.message = parser.errorText();
        return options;
    }
    if (parser.isSet(help)) {
        options.action = Action::Help;
        options.message = parser.helpText();
        return options;
    }
    if (parser.isSet(version)) {
        options.action = Action::Version;
        options.message = QStringLiteral("zelkor-server " ZELKOR_VERSION "\n");
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.action = Action::Error;
        options.message =
            QStringLiteral("Unexpected argument: ") + parser.positionalArguments().constFirst();
        return options;
    }
    options.headless = parser.isSet(headless);
    const QString folder = parser.isSet(dataDir) ? parser.value(dataDir) : QStringLiteral(".");
    if (folder.isEmpty()) {
        options.action = Action::Error;
        options.message = QStringLiteral("--data-dir needs a folder");
        return options;
    }
    options.dataDir = QDir::cleanPath(QDir(workingDir).absoluteFilePath(folder));
    if (parser.isSet(snppPort))
        options.snppPort = parser.value(snppPort);
    if (parser.isSet(httpPort))
        options.httpPort = parser.value(httpPort);
    return options;
}
