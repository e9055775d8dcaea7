#include "tests/support/headlessprocess.h"

#include <QDateTime>
#include <QDir>
#include <QTest>

#include <csignal>

HeadlessProcess::HeadlessProcess(QString binary) : m_binary(std::move(binary)) {}

HeadlessProcess::~HeadlessProcess()
{
    if (running())
        kill();
}

bool HeadlessProcess::start(const QString& dataDir, const QStringList& arguments,
                            const QProcessEnvironment& environment)
{
    m_out.clear();
    m_err.clear();
    QProcessEnvironment full = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        full.remove(QString::fromLatin1(name));
    full.insert(environment);
    m_program.setProcessEnvironment(full);
    m_program.setWorkingDirectory(QDir::tempPath());
    m_program.start(
        m_binary, QStringList{QStringLiteral("--headless"), QStringLiteral("--data-dir"), dataDir} +
                      arguments);
    return m_program.waitForStarted();
}

bool HeadlessProcess::waitFor(const std::function<bool()>& condition, int seconds)
{
    return QTest::qWaitFor(
        [&] {
            collect();
            return condition();
        },
        seconds * 1000);
}

bool HeadlessProcess::waitForOutput(const QByteArray& text, int seconds)
{
    return waitFor([&] { return m_out.contains(text); }, seconds);
}

bool HeadlessProcess::waitForExit(int seconds)
{
    return waitFor([&] { return !running(); }, seconds);
}

void HeadlessProcess::signal(int number)
{
    if (running())
        ::kill(static_cast<pid_t>(m_program.processId()), number);
}

void HeadlessProcess::kill()
{
    m_program.kill();
    m_program.waitForFinished();
    collect();
}

const QByteArray& HeadlessProcess::out()
{
    collect();
    return m_out;
}

const QByteArray& HeadlessProcess::err()
{
    collect();
    return m_err;
}

std::string HeadlessProcess::output()
{
    collect();
    return (m_out + "\n--- stderr ---\n" + m_err).toStdString();
}

void HeadlessProcess::collect()
{
    m_out += m_program.readAllStandardOutput();
    m_err += m_program.readAllStandardError();
}

ShiftedZone ShiftedZone::atSecond(int second)
{
    const int now = QDateTime::currentDateTimeUtc().time().second();
    return {((second - now) % 60 + 60) % 60};
}

QByteArray ShiftedZone::tz() const
{
    // POSIX counts offsets west of Greenwich as positive: "-" puts the local clock ahead.
    return "ZKR-00:00:" + QByteArray::number(offsetSeconds).rightJustified(2, '0');
}

QDateTime ShiftedZone::now() const
{
    return QDateTime::currentDateTimeUtc().addSecs(offsetSeconds);
}
