#pragma once

#include "runtime/exceptionboundary.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>

class CallControl;
class HttpBridge;
class IOperatorPrompts;
class NextCheckCountdown;
class PageKeeping;
class Pacing;
class QTimer;
class RoutedLines;
class ServerListener;
class ServerMeter;
class ServerState;
class SnppBridge;
class SubmissionHandler;
class TSock;

// The running server beneath every face: its state, the workstation listener with its
// submission handler, the SNPP gateway, call control with the paging engine, the countdown and
// the one-second tick. The window and the headless service each hold one and present it: they
// load the settings their own way, then start it, and forward the operator's commands and the
// signals to its verbs. Whatever a face would otherwise ask of the operator comes through the
// prompts given here.
//
// Every entry from outside (the tick, a workstation's conversation, a paging client's command,
// an operator's command) passes one exception boundary: a failure is told to the operator and
// logged, and the server goes on.
class ServerRuntime final : public QObject
{
    Q_OBJECT

public:
    ServerRuntime(const QString& dataDir, IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~ServerRuntime() override;

    ServerState& state() const { return *m_state; }
    ServerListener& listener() const { return *m_listener; }
    SnppBridge& snpp() const { return *m_snpp; }
    HttpBridge& http() const { return *m_http; }
    // The counters the HTTP front end publishes.
    const ServerMeter& meter() const { return *m_meter; }
    CallControl& calls() const { return *m_calls; }
    // The page store with the queue: every page's id and fate.
    PageKeeping& pages() const { return *m_pages; }
    // The routes of Lines.Dat the calls use.
    RoutedLines& routes() const { return *m_routes; }
    // The durations of conversations and calls; standard unless given. It must outlive this.
    void setPacing(const Pacing& pacing);

    // What start() does when the port cannot be listened on.
    enum class WithoutListener {
        Run,  // the server goes on without it, delivering its queue (the desktop)
        Stop, // the start ends there (a service manager should see the failure)
    };
    // With the settings in the state: brings the page store and the queue into agreement (what a
    // kill left), counts a queue left by a run that ended without its close into QueuedCount,
    // starts the countdown at the check interval, reads Allow.txt and Lines.Dat, shows the clock,
    // listens on the configured port and starts the SNPP gateway and the HTTP front end. True
    // when listening.
    bool start(WithoutListener policy);
    // The one-second tick, from now on; the window's timer runs from its creation, the
    // service's from its start.
    void startTicking();
    void stopTicking();
    // (Re)starts listening on the configured port; true when listening. A port that cannot be
    // used is shown in the error box.
    bool listen();
    // The service's reload, once it has put the settings read again in the state: Allow.txt
    // and Lines.Dat are read again and the listener restarted; the SNPP gateway and the HTTP
    // front end read their settings again and keep their clients unless the port changed or they
    // were switched off. True when listening.
    bool reload();

    // Lines.Dat read again (start and reload do it too); each line of it that cannot be used is
    // noted in the Connection Log and Log.Dat. The routes count from the next call on.
    void loadRoutes();

    // The operator's commands, each within the boundary.
    void tick();
    void tick(const QDateTime& now);
    void sendNow();
    void cancelCall();
    void clearQueue();
    void sendTestPage();
    void showIpAddress();

    // No page is taken any more: the listener stops, and each paging client gets the reply to
    // its command in hand and then "421".
    void stopTakingPages();
    // The desktop's close request: asks about an active call and queued messages (see
    // CallControl::closeQuery). False while the server is to go on, or until closeDue().
    bool closeQuery();
    // The desktop's close once the request was granted: no page is taken, the queue file is
    // deleted and the allow list freed. stopped() follows.
    void close();
    // The service's stop: nothing is asked and the queue stays for the next start. Pages are no
    // longer taken, open conversations end (a page not yet answered "250" was not taken), and a
    // running call ends after the page in hand. Asked again while the call still runs, it
    // hangs the call up at once. What it does to a call is said in the Connection Log and
    // Log.Dat. stopped() follows once nothing runs.
    void stop();

signals:
    // The run enables "Cancel Call" and disables "Send Now" while it calls.
    void callMenuChanged(bool cancelCallEnabled, bool sendNowEnabled);
    // A close request waited for the run that is now over: the window closes now.
    void closeDue();
    // After close() or stop(): no run is in progress and each paging client's last replies
    // are with the system. Emitted once.
    void stopped();

private:
    void accept(TSock& listener, TSock& client);
    void finishWhenIdle();
    // Held pages released, old ones expired and pruned, due notifications started.
    void checkPages();
    // One line to the Connection Log and Log.Dat.
    void note(const QString& line);

    IOperatorPrompts& m_prompts;
    // Each part is declared after the parts it refers to, so it goes before them.
    std::unique_ptr<ServerState> m_state;
    ExceptionBoundary m_boundary;
    std::unique_ptr<PageKeeping> m_pages;
    std::unique_ptr<SubmissionHandler> m_submissions;
    std::unique_ptr<ServerListener> m_listener;
    std::unique_ptr<SnppBridge> m_snpp;
    std::unique_ptr<CallControl> m_calls;
    std::unique_ptr<ServerMeter> m_meter;
    std::unique_ptr<HttpBridge> m_http;
    std::unique_ptr<RoutedLines> m_routes;
    std::unique_ptr<NextCheckCountdown> m_countdown;
    std::unique_ptr<QTimer> m_ticker;
    bool m_stopping = false;
    bool m_stopped = false;
};
