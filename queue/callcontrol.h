#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

class CallProcessor;
class ServerCore;
class TOMXPage;

// The main window's side of calling: it owns the paging engine OMXPage1 and the call processing
// run, and carries out the commands that drive them (Send Now, Cancel Call, the automatic check,
// the close request) and the engine's progress reports. It needs no display, so tests drive the
// whole delivery through it; the window's handlers only forward here.
class CallControl final : public QObject
{
    Q_OBJECT

public:
    explicit CallControl(ServerCore& core, QObject* parent = nullptr);
    ~CallControl() override;

    TOMXPage& OMXPage1() { return *m_engine; }
    CallProcessor& processor() { return *m_processor; }

    // A run without raising ServerBusy, then panel 3 emptied.
    void SendNow1Click();
    // Hangs up: a running call ends quietly.
    void CancelCall1Click();
    // The countdown's check: raises ServerBusy, so conversations answer "DATA" with their busy
    // reply meanwhile, and runs the queue.
    void automaticRun();
    // The engine's progress: panel 3, the "Transmition Log" and Log.Dat.
    void OMXPage1PageProgress(const QByteArray& text);

    // The close request's questions about an active call and queued messages; false when the
    // operator chose to keep the server running. `stopListening` is called before the queue is
    // sent (or given up), so no new page arrives meanwhile.
    bool FormCloseQuery(const std::function<void()>& stopListening);

    // The pager ID the engine holds between calls: it refuses to dial without one, and the run
    // sets the real one with each message.
    static constexpr char PlaceholderPin[] = "0000000";

private:
    ServerCore& m_core;
    std::unique_ptr<TOMXPage> m_engine;
    std::unique_ptr<CallProcessor> m_processor;
};
