#include "runtime/serverruntime.h"

#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/datetimetext.h"
#include "foundation/errors.h"
#include "foundation/widgettext.h"
#include "intake/keptqueue.h"
#include "intake/queuecommands.h"
#include "net/tsock.h"
#include "pages/pagequeue.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "runtime/httpbridge.h"
#include "runtime/nextcheckcountdown.h"
#include "runtime/pagekeeping.h"
#include "runtime/routedlines.h"
#include "runtime/servermeter.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "workstation/serverlistener.h"
#include "workstation/submissionhandler.h"

#include <QTimer>

namespace {
using Box = ExceptionBoundary::Box;
}

ServerRuntime::ServerRuntime(const QString& dataDir, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_prompts(prompts), m_state(std::make_unique<ServerState>(dataDir, prompts)),
      m_boundary(*m_state, prompts),
      m_pages(std::make_unique<PageKeeping>(dataDir, m_state->queue(), *m_state)),
      m_submissions(std::make_unique<SubmissionHandler>(*m_state, prompts)),
      m_listener(std::make_unique<ServerListener>(*m_submissions, *m_state, *m_state, prompts)),
      m_snpp(std::make_unique<SnppBridge>(*m_state, prompts)),
      m_calls(std::make_unique<CallControl>(*m_state, prompts)),
      m_meter(std::make_unique<ServerMeter>(*m_state, *m_pages, m_calls->processor())),
      m_http(std::make_unique<HttpBridge>(*m_state, *m_pages, *m_snpp, *m_meter, prompts)),
      m_routes(std::make_unique<RoutedLines>()),
      m_countdown(std::make_unique<NextCheckCountdown>(*m_state)),
      m_ticker(std::make_unique<QTimer>())
{
    // Each workstation is served inside the boundary, so whatever escapes its conversation
    // ends that conversation only.
    m_listener->Sock1().setOnAutoAccept(
        [this](TSock& listener, TSock& client) { accept(listener, client); });
    // So is each paging client's command: one that fails ends its own session only.
    m_snpp->gateway().server().setGuard([this](const std::function<void()>& work) {
        return m_boundary.run(QStringLiteral("SNPP Connection"), Box::Notice, work);
    });
    m_snpp->setGuard([this](const std::function<void()>& work) {
        return m_boundary.run(QStringLiteral("SNPP Connection"), Box::Notice, work);
    });
    // So is each HTTP client's page: a failure is told to the operator, the client gets 503.
    m_http->setGuard([this](const std::function<void()>& work) {
        return m_boundary.run(QStringLiteral("HTTP Request"), Box::Notice, work);
    });
    // Every page taken and every page sent goes through the page store.
    m_submissions->queuer().setPageQueue(&m_pages->pageQueue(), FrontEnd::Workstation);
    m_snpp->queuer().setPageQueue(&m_pages->pageQueue(), FrontEnd::Snpp);
    m_calls->processor().setPageQueue(&m_pages->pageQueue());
    m_countdown->setOnCheck([this](const QDateTime& at) { m_meter->noteCheck(at); });
    m_calls->processor().setLineChooser(m_routes.get());
    m_countdown->setOnAutomaticRun([this] {
        checkPages();
        m_calls->automaticRun();
    });
    connect(&m_calls->processor(), &CallProcessor::callMenuChanged, this,
            &ServerRuntime::callMenuChanged);
    connect(m_calls.get(), &CallControl::closeDue, this, &ServerRuntime::closeDue);
    // A stop waits for the run's end and the gateway's last session; each comes back here.
    connect(&m_calls->processor(), &CallProcessor::runEnded, this, &ServerRuntime::finishWhenIdle);
    connect(m_snpp.get(), &SnppBridge::drained, this, &ServerRuntime::finishWhenIdle);

    m_ticker->setObjectName(QStringLiteral("Timer1"));
    m_ticker->setInterval(1000);
    connect(m_ticker.get(), &QTimer::timeout, this, qOverload<>(&ServerRuntime::tick));
}

ServerRuntime::~ServerRuntime() = default;

void ServerRuntime::setPacing(const Pacing& pacing)
{
    m_listener->setPacing(pacing);
    m_calls->engine().setPacing(pacing);
    m_routes->setPacing(pacing);
}

bool ServerRuntime::start(WithoutListener policy)
{
    // A queue file still here was left by a run that ended without its close (killed, crashed,
    // power lost): its pages were accepted, so they are kept and go out at the next check.
    m_boundary.run(QStringLiteral("Page Store"), Box::Notice, [&] { m_pages->startUp(); });
    KeptQueue::takeOver(*m_state);
    m_state->setNextCheck(m_state->config().QueTime);
    m_state->loadAllowList();
    loadRoutes();
    m_state->setClockText(DateTimeText::clock(m_state->now()));
    const bool listening = listen();
    if (!listening && policy == WithoutListener::Stop)
        return false;
    m_snpp->start();
    m_http->start();
    return listening;
}

void ServerRuntime::startTicking()
{
    m_ticker->start();
}

void ServerRuntime::stopTicking()
{
    m_ticker->stop();
}

bool ServerRuntime::listen()
{
    m_listener->restartListening();
    return m_listener->Sock1().Listen();
}

bool ServerRuntime::reload()
{
    m_state->loadAllowList();
    loadRoutes();
    m_pages->loadSettings();
    // A port that cannot be opened now leaves the server delivering its queue.
    const bool listening = listen();
    m_snpp->start();
    m_http->start();
    return listening;
}

void ServerRuntime::tick()
{
    tick(m_state->now());
}

void ServerRuntime::tick(const QDateTime& now)
{
    m_boundary.run(QStringLiteral("Queue Check"), Box::Notice, [&] { m_countdown->tick(now); });
}

void ServerRuntime::sendNow()
{
    m_boundary.run(QStringLiteral("Send Now"), Box::Modal, [&] {
        m_meter->noteCheck(m_state->now());
        checkPages();
        m_calls->sendNow();
    });
}

void ServerRuntime::cancelCall()
{
    m_boundary.run(QStringLiteral("Cancel Call"), Box::Modal, [&] { m_calls->cancelCall(); });
}

void ServerRuntime::clearQueue()
{
    m_boundary.run(QStringLiteral("Clear Msg. Queue"), Box::Modal, [&] {
        QueueCommands(*m_state, m_prompts, &m_pages->pageQueue()).clearMessageQueue();
    });
}

void ServerRuntime::sendTestPage()
{
    m_boundary.run(QStringLiteral("Send Test Msg."), Box::Modal, [&] {
        QueueCommands(*m_state, m_prompts, &m_pages->pageQueue()).sendTestMessage();
    });
}

void ServerRuntime::showIpAddress()
{
    m_boundary.run(QStringLiteral("Show IP Address"), Box::Modal,
                   [&] { m_listener->showIpAddress(); });
}

void ServerRuntime::accept(TSock& listener, TSock& client)
{
    // A conversation that failed has not answered "250" to what it was given; its client
    // learns that from the closed connection.
    if (!m_boundary.run(QStringLiteral("Connection"), Box::Notice,
                        [&] { m_listener->accept(listener, client); }))
        client.Close();
}

void ServerRuntime::stopTakingPages()
{
    m_listener->stopListening();
    m_snpp->stop();
    m_http->stop();
}

bool ServerRuntime::closeQuery()
{
    // A close whose run failed does not close: the queue the operator wanted sent is kept.
    bool mayClose = false;
    m_boundary.run(QStringLiteral("Shut Down"), Box::Modal,
                   [&] { mayClose = m_calls->closeQuery([this] { stopTakingPages(); }); });
    return mayClose;
}

void ServerRuntime::close()
{
    stopTakingPages();
    stopTicking();
    try {
        m_pages->pageQueue().clear("Message Queue Deleted At Close");
    } catch (const EZelkorError&) {
        // A queue file that cannot be deleted stays for the next start, as before.
    }
    m_state->setAllowList({});
    m_stopping = true;
    finishWhenIdle();
}

void ServerRuntime::stop()
{
    CallProcessor& run = m_calls->processor();
    if (m_stopping) {
        // Asked twice: the call in hand is cut now, as Cancel Call cuts it.
        if (run.running()) {
            note(QStringLiteral("Stopping now: the call in progress is hung up"));
            m_calls->cancelCall();
        }
        return;
    }
    m_stopping = true;
    stopTicking();
    stopTakingPages();
    // A conversation that has not been answered "250" has queued nothing: its client learns
    // from the closed connection that the page was not taken.
    m_listener->closeConversations();
    if (run.running()) {
        note(QStringLiteral("Stopping: the call in progress ends after its current message"));
        run.requestStop();
    }
    finishWhenIdle();
}

void ServerRuntime::checkPages()
{
    // The run holds the companies it read; the store is changed around it only between runs.
    if (!m_calls->processor().running())
        m_pages->atCheck();
}

void ServerRuntime::finishWhenIdle()
{
    // The paging clients' last replies must be with the system before the program ends; a
    // client that does not take them holds its session for its drain time at most.
    if (!m_stopping || m_stopped || m_calls->processor().running() || !m_snpp->isDrained())
        return;
    m_stopped = true;
    emit stopped();
}

void ServerRuntime::loadRoutes()
{
    const QString path = m_state->dataDir() + QLatin1Char('/') + LinesFile::FileName;
    for (const QByteArray& problem : m_routes->load(path))
        note(WidgetText::fromBytes(problem));
}

void ServerRuntime::note(const QString& line)
{
    m_state->addConnectionLog(line);
    m_state->AppendLog(WidgetText::toBytes(line));
}
