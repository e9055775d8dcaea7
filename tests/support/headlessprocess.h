#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

// The built program started with --headless the way a service manager starts it: no display in
// its environment, a data folder named on the command line, a working directory elsewhere. Its
// standard output and error are collected while the test's event loop runs, so a scripted modem
// or terminal in the test answers it meanwhile. A program still running at the end is killed.
class HeadlessProcess final
{
public:
    explicit HeadlessProcess(QString binary);
    ~HeadlessProcess();
    HeadlessProcess(const HeadlessProcess&) = delete;
    HeadlessProcess& operator=(const HeadlessProcess&) = delete;

    // Starts the program over `dataDir` with `arguments` after the data folder and `environment`
    // added to the test's own. What an earlier start printed is forgotten.
    bool start(const QString& dataDir, const QStringList& arguments = {},
               const QProcessEnvironment& environment = {});

    // Pumps the event loop until `condition` holds or the safety limit passes.
    bool waitFor(const std::function<bool()>& condition, int seconds = 150);
    bool waitForOutput(const QByteArray& text, int seconds = 150);
    bool waitForExit(int seconds = 150);

    bool running() const { return m_program.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_program.processId(); }
    void signal(int number);
    // SIGKILL, and waits for the program to be gone.
    void kill();

    // Standard output and error of the current start, as far as collected.
    const QByteArray& out();
    const QByteArray& err();
    std::string output();
    QProcess& process() { return m_program; }

private:
    void collect();

    QString m_binary;
    QProcess m_program;
    QByteArray m_out;
    QByteArray m_err;
};

// A POSIX time zone whose clock is ahead of UTC by whole seconds, for the program's
// environment. The program counts its check interval at every local second 0; a zone made with
// atSecond(s) reads s seconds past the minute at the moment it is made, so the program's first
// check comes about 60 - s seconds after that.
struct ShiftedZone
{
    int offsetSeconds = 0;

    static ShiftedZone atSecond(int second);
    // The TZ value: "ZKR-00:00:ss".
    QByteArray tz() const;
    // The zone's wall-clock time now, as a QDateTime in UTC showing the same figures.
    QDateTime now() const;
};
