#include "service/headlessserver.h"

#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "foundation/datetimetext.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "intake/keptqueue.h"
#include "net/tsock.h"
#include "runtime/nextcheckcountdown.h"
#include "runtime/servercore.h"
#include "runtime/snppbridge.h"
#include "service/loglinetext.h"
#include "service/settingsrecovery.h"
#include "workstation/serverlistener.h"

#include <QTimer>

HeadlessServer::HeadlessServer(const QString& dataDir, IOperatorPrompts& prompts, std::FILE* out,
                               QObject* parent)
    : QObject(parent), m_prompts(prompts), m_out(out),
      m_core(std::make_unique<ServerCore>(dataDir, prompts)),
      m_countdown(std::make_unique<NextCheckCountdown>(*m_core, *m_core, *m_core)),
      m_snpp(std::make_unique<SnppBridge>(*m_core, *m_core, *m_core, prompts)),
      m_calls(std::make_unique<CallControl>(*m_core, *m_core, *m_core, prompts)),
      m_timer(new QTimer(this))
{
    connect(m_core.get(), &ServerCore::connectionLogAdded, this,
            [this](const QString& line) { writeLine("Connection", line); });
    connect(m_core.get(), &ServerCore::transmitLogAdded, this,
            [this](const QString& line) { writeLine("Transmission", line); });

    m_countdown->setOnAutomaticRun([this] { m_calls->automaticRun(); });
    connect(&m_calls->processor(), &CallProcessor::runEnded, this, [this] {
        if (m_stopping)
            finishWhenIdle();
    });
    connect(m_snpp.get(), &SnppBridge::drained, this, [this] {
        if (m_stopping)
            finishWhenIdle();
    });

    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &HeadlessServer::tick);
}

HeadlessServer::~HeadlessServer() = default;

bool HeadlessServer::start()
{
    applySettings(true);
    // A queue file found now was left by a run that ended without its close: a kill, a crash or
    // a power loss. Its pages were accepted, so they are delivered at the next check.
    KeptQueue::takeOver(*m_core, *m_core);
    m_core->setNextCheck(m_core->config().QueTime);
    m_core->setClockText(DateTimeText::clock(m_core->now()));
    if (!listen())
        return false;
    m_snpp->start();
    m_timer->start();
    return true;
}

void HeadlessServer::applySettings(bool atStart)
{
    // At start-up a missing or damaged file is replaced by the defaults, as the first start's
    // OK in the settings dialog would write them. Later the running settings stand in, so a
    // reload never swaps a working configuration for the defaults, nor for a file that holds
    // settings no part of the server could work with.
    const SettingsRecovery::Result settings =
        atStart ? SettingsRecovery::load(m_core->dataDir(),
                                         TServerConfig::defaults(m_core->dataDir()), m_prompts)
                : SettingsRecovery::reload(m_core->dataDir(), m_core->config(), m_prompts);
    for (const QString& line : settings.notes)
        note(line);
    m_core->setConfig(settings.config);
    m_core->loadAllowList();
}

bool HeadlessServer::listen()
{
    m_core->listener().restartListening();
    const QString port = WidgetText::fromBytes(m_core->config().Port);
    if (!m_core->listener().Sock1().Listen()) {
        note(QStringLiteral("Could not listen on port ") + port);
        return false;
    }
    note(QStringLiteral("Listening on port ") + port);
    return true;
}

void HeadlessServer::reload()
{
    if (m_stopping)
        return;
    note(QStringLiteral("Reloading Server.Dat and Allow.txt"));
    applySettings(false);
    // A port that cannot be opened now leaves the server delivering its queue.
    listen();
    // The paging clients being served go on unless the gateway's port or switch changed.
    m_snpp->start();
}

void HeadlessServer::stop()
{
    CallProcessor& run = m_calls->processor();
    if (m_stopping) {
        // Asked twice: the call in hand is cut now, as Cancel Call cuts it.
        if (run.running()) {
            note(QStringLiteral("Stopping now: the call in progress is hung up"));
            m_calls->CancelCall1Click();
        }
        return;
    }
    m_stopping = true;
    m_timer->stop();
    m_core->listener().stopListening();
    // Each paging client gets the reply to the command in hand, then "421"; nothing it sent
    // after that command is taken.
    m_snpp->stop();
    // A conversation that has not been answered "250" has queued nothing: its client learns
    // from the closed connection that the page was not taken.
    m_core->listener().closeConversations();
    if (run.running()) {
        note(QStringLiteral("Stopping: the call in progress ends after its current message"));
        run.requestStop();
    }
    finishWhenIdle();
}

void HeadlessServer::finishWhenIdle()
{
    // The run's end and the gateway's last session each come back here. The paging clients'
    // last replies must be with the system before the process ends; a client that does not
    // take them holds its session for its drain time at most.
    if (m_finished || m_calls->processor().running() || !m_snpp->isDrained())
        return;
    m_finished = true;
    note(QStringLiteral("Stopped; %1 queued message(s) kept for the next start")
             .arg(m_core->queuedCount()));
    emit finished();
}

void HeadlessServer::tick()
{
    m_countdown->Timer1Timer(m_core->now());
}

void HeadlessServer::note(const QString& line)
{
    m_core->addConnectionLog(line);
    m_core->AppendLog(WidgetText::toBytes(line));
}

void HeadlessServer::writeLine(const char* log, const QString& line)
{
    // The windows' spacer lines carry nothing on a line-per-entry log.
    if (line.isEmpty())
        return;
    const QByteArray text = LogLineText::format(QDateTime::currentDateTime(), log, line);
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), m_out);
    std::fflush(m_out);
}
