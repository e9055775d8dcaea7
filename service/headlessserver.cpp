#include "service/headlessserver.h"

#include "core/serverstate.h"
#include "foundation/widgettext.h"
#include "runtime/serverruntime.h"
#include "service/loglinetext.h"
#include "service/settingsrecovery.h"

HeadlessServer::HeadlessServer(const QString& dataDir, IOperatorPrompts& prompts, std::FILE* out,
                               QObject* parent)
    : QObject(parent), m_prompts(prompts), m_out(out),
      m_runtime(std::make_unique<ServerRuntime>(dataDir, prompts))
{
    ServerState& state = m_runtime->state();
    connect(&state, &ServerState::connectionLogAdded, this,
            [this](const QString& line) { writeLine("Connection", line); });
    connect(&state, &ServerState::transmitLogAdded, this,
            [this](const QString& line) { writeLine("Transmission", line); });
    connect(m_runtime.get(), &ServerRuntime::stopped, this, [this] {
        note(QStringLiteral("Stopped; %1 queued message(s) kept for the next start")
                 .arg(m_runtime->state().queuedCount()));
        emit finished();
    });
}

HeadlessServer::~HeadlessServer() = default;

bool HeadlessServer::start()
{
    applySettings(true);
    const bool listening = m_runtime->start(ServerRuntime::WithoutListener::Stop);
    noteListening(listening);
    if (!listening)
        return false;
    m_runtime->startTicking();
    return true;
}

void HeadlessServer::applySettings(bool atStart)
{
    // At start-up a missing or damaged file is replaced by the defaults, as the first start's
    // OK in the settings dialog would write them. Later the running settings stand in, so a
    // reload never swaps a working configuration for the defaults, nor for a file that holds
    // settings no part of the server could work with.
    ServerState& state = m_runtime->state();
    const SettingsRecovery::Result settings =
        atStart ? SettingsRecovery::load(state.dataDir(), TServerConfig::defaults(state.dataDir()),
                                         m_prompts)
                : SettingsRecovery::reload(state.dataDir(), state.config(), m_prompts);
    for (const QString& line : settings.notes)
        note(line);
    state.setConfig(settings.config);
}

void HeadlessServer::noteListening(bool listening)
{
    const QString port = WidgetText::fromBytes(m_runtime->state().config().Port);
    note((listening ? QStringLiteral("Listening on port ")
                    : QStringLiteral("Could not listen on port ")) +
         port);
}

void HeadlessServer::reload()
{
    if (m_stopping)
        return;
    note(QStringLiteral("Reloading Server.Dat and Allow.txt"));
    applySettings(false);
    noteListening(m_runtime->reload());
}

void HeadlessServer::stop()
{
    m_stopping = true;
    m_runtime->stop();
}

void HeadlessServer::note(const QString& line)
{
    ServerState& state = m_runtime->state();
    state.addConnectionLog(line);
    state.AppendLog(WidgetText::toBytes(line));
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
