#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The program's command line: --headless, --data-dir DIR, --snpp-port N, --http-port N, --help,
// --version.
// Read before any application object exists, because the mode decides which one the program
// creates: a headless server must never try to reach a display.
struct ProgramOptions
{
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Run;
    // Help text, version line or error message, as the program prints it.
    QString message;
    bool headless = false;
    // Absolute; the working directory unless --data-dir names another.
    QString dataDir;
    // The SNPP port given on the command line, as written.
    std::optional<QString> snppPort;
    // The HTTP port given on the command line, as written.
    std::optional<QString> httpPort;

    static ProgramOptions parse(const QStringList& arguments, const QString& workingDir);
};
