#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

class CallProcessor;
class ILogSinks;
class IOperatorPrompts;
class IServerStatus;
class ServerState;
class TOMXPage;

// The running server's side of calling: it owns the call processing run with its lines, and carries
// out the commands that drive them (send now, cancel the call, the automatic check, the close
// request) and the engine's progress reports. It needs no display, so tests drive the whole
// delivery through it.
class CallControl final : public QObject
{
    Q_OBJECT

public:
    CallControl(ServerState& state, IOperatorPrompts& prompts);
    ~CallControl() override;

    // The first modem line's engine; see CallProcessor::engine.
    TOMXPage& engine();
    CallProcessor& processor() { return *m_processor; }

    // A run without raising ServerBusy, then panel 3 emptied.
    void sendNow();
    // Hangs up: a running call ends quietly.
    void cancelCall();
    // The countdown's check: raises ServerBusy, so conversations answer "DATA" with their busy
    // reply meanwhile, and runs the queue.
    void automaticRun();
    // The engine's progress: panel 3, the "Transmition Log" and Log.Dat.
    void pageProgress(const QByteArray& text);

    // The close request's questions about an active call and queued messages. True: the
    // window may close now. False: it stays, because the operator chose to keep the server
    // running, or because a run is in progress: the window then closes when closeDue() says
    // so. In that case the run goes on to deliver the queue when the operator asked to send it
    // first, and otherwise ends its call as Cancel Call does and stops. `stopListening` is
    // called before the queue is sent (or given up), so no new page arrives meanwhile.
    bool closeQuery(const std::function<void()>& stopListening);

    // The pager ID the engine holds between calls: it refuses to dial without one, and the run
    // sets the real one with each message.
    static constexpr char PlaceholderPin[] = "0000000";

signals:
    // The run a close request waited for is over: close the window; closeQuery lets it.
    void closeDue();

private:
    bool closeAfterRun(bool sendFirst);
    void runEnded();
    // The close's own lines after the queue was sent: the hyphens and an empty panel 3.
    void endOfClosingRun();

    IServerStatus& m_status;
    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    std::unique_ptr<CallProcessor> m_processor;
    bool m_closePending = false;  // a close waits for the running run to end
    bool m_closeApproved = false; // that run is over: the window closes without asking again
    bool m_closingRun = false;    // the close request is running the queue itself
    bool m_sendFirst = false;     // the latest answer: send the queue before closing
};
