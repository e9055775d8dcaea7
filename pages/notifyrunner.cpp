#include "pages/notifyrunner.h"

#include "foundation/widgettext.h"
#include "pages/commandline.h"
#include "pages/pagestore.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

namespace {

// What a failed command's report quotes of its output.
constexpr qsizetype KeptOutput = 200;

QString rfc3339(const QDateTime& at)
{
    if (!at.isValid())
        return {};
    const QDateTime local = at.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray firstLine(const QByteArray& output)
{
    QByteArray line = output.left(output.indexOf('\n')).trimmed();
    return line.left(120);
}

} // namespace

NotifyRunner::NotifyRunner(PageStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    // Queued: a page's final state is recorded inside a call's or a command's own steps, and
    // its notice waits until those are done.
    connect(&store, &PageStore::pageFinished, this, &NotifyRunner::poll, Qt::QueuedConnection);
}

NotifyRunner::~NotifyRunner()
{
    for (QProcess* process : std::as_const(m_processes)) {
        process->disconnect(this);
        killGroup(process);
        process->waitForFinished(1000);
    }
}

void NotifyRunner::setCommand(const QByteArray& commandLine)
{
    m_command = commandLine.trimmed();
}

void NotifyRunner::setTimeLimit(int milliseconds)
{
    m_timeLimitMs = qMax(1, milliseconds);
}

void NotifyRunner::setMaxRunning(int count)
{
    m_maxRunning = qMax(1, count);
}

void NotifyRunner::poll()
{
    // A command that ends while its successors are being started asks again when this is done.
    if (m_polling) {
        m_pollAgain = true;
        return;
    }
    m_polling = true;
    do {
        m_pollAgain = false;
        pollOnce();
    } while (m_pollAgain);
    m_polling = false;
}

void NotifyRunner::pollOnce()
{
    const CommandLine::Split split = CommandLine::split(m_command);
    if (m_command.isEmpty() || !split.problem.isEmpty() || split.words.isEmpty()) {
        // Nothing to run: the due pages are settled, so a command set later does not fire for
        // pages that ended long before.
        while (!m_store.takeNotifications(100, false).isEmpty()) {
        }
        return;
    }
    const int free = m_maxRunning - running();
    if (free > 0) {
        for (const PageRecord& page : m_store.takeNotifications(free, true))
            start(page, split.words);
    }
}

void NotifyRunner::start(const PageRecord& page, const QList<QByteArray>& words)
{
    auto* process = new QProcess(this);
    m_processes.append(process);
    process->setProgram(WidgetText::fromFileName(words.first()));
    QStringList arguments;
    for (qsizetype i = 1; i < words.size(); ++i)
        arguments.append(WidgetText::fromFileName(words[i]));
    process->setArguments(arguments);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const auto set = [&env](const char* name, const QByteArray& value) {
        env.insert(QString::fromLatin1(name), WidgetText::fromBytes(value));
    };
    set("ZELKOR_PAGE_ID", QByteArray::number(page.id));
    set("ZELKOR_PAGE_STATE", PageStates::name(page.state));
    set("ZELKOR_PAGE_REASON", page.reason);
    set("ZELKOR_PAGER_ID", page.pagerId);
    set("ZELKOR_PAGE_PIN", page.pin);
    set("ZELKOR_PAGE_COMPANY", page.company);
    set("ZELKOR_PAGE_SENDER", page.sender);
    env.insert(QStringLiteral("ZELKOR_PAGE_ACCEPTED"), rfc3339(page.acceptedAt));
    env.insert(QStringLiteral("ZELKOR_PAGE_FINISHED"),
               rfc3339(page.finishedAt.value_or(page.updatedAt)));
    process->setProcessEnvironment(env);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so the time limit ends whatever the command started as well.
    process->setChildProcessModifier([] { ::setpgid(0, 0); });

    const qint64 id = page.id;
    auto* output = new QByteArray;
    auto* timedOut = new bool(false);
    connect(process, &QObject::destroyed, [output, timedOut] {
        delete output;
        delete timedOut;
    });
    connect(process, &QProcess::readyRead, this, [process, output] {
        const QByteArray data = process->readAll();
        if (output->size() < KeptOutput)
            output->append(data.left(KeptOutput - output->size()));
    });
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, [process, timedOut] {
        *timedOut = true;
        killGroup(process);
    });
    connect(process, &QProcess::finished, this,
            [this, process, id, output, timedOut, limit](int code, QProcess::ExitStatus status) {
                limit->stop();
                const QByteArray which = "Notify command for page " + QByteArray::number(id);
                if (*timedOut) {
                    ended(process, id, Outcome::TimedOut,
                          which + " killed after " + QByteArray::number(m_timeLimitMs / 1000.0) +
                              " s");
                } else if (status == QProcess::CrashExit) {
                    ended(process, id, Outcome::Failed, which + " ended by a signal");
                } else if (code != 0) {
                    QByteArray line = which + " ended with status " + QByteArray::number(code);
                    if (const QByteArray said = firstLine(*output); !said.isEmpty())
                        line += ": " + said;
                    ended(process, id, Outcome::Failed, line);
                } else {
                    ended(process, id, Outcome::Succeeded, which + " done");
                }
            });
    connect(process, &QProcess::errorOccurred, this, [this, process, id](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            ended(process, id, Outcome::NotStarted,
                  "Notify command for page " + QByteArray::number(id) +
                      " could not be started: " + WidgetText::toBytes(process->errorString()));
    });
    limit->start(m_timeLimitMs);
    process->start();
}

void NotifyRunner::ended(QProcess* process, qint64 id, Outcome outcome, const QByteArray& line)
{
    if (!m_processes.removeOne(process))
        return;
    process->disconnect(this);
    process->deleteLater();
    emit commandEnded(id, outcome, line);
    poll();
}

void NotifyRunner::killGroup(QProcess* process)
{
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
}
