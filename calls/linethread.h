#pragma once

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class IPagingLine;
class QThread;

// One delivery line (a modem on its COM port, or a carrier's line on the network) on a thread
// of its own. The line waits by pumping events, so each line needs its own event loop: two
// lines on one thread would wait inside each other, and a line on the server's thread would
// stop every client while it waits (and every client would stop the call).
//
// The line is made on its thread and lives there; the thread that made this object (the run,
// which owns the queue and the logs) hands it work one step at a time and hears back through
// the step's `done`, which runs on that thread. Progress texts of the line arrive as
// progress() on that thread too.
class LineThread final : public QObject
{
    Q_OBJECT

public:
    using Maker = std::function<std::unique_ptr<IPagingLine>()>;
    using Work = std::function<void(IPagingLine&)>;
    // Gets the failure the work raised, if it raised one.
    using Done = std::function<void(std::exception_ptr)>;

    // Starts the thread and makes the line on it (waiting until it is made).
    explicit LineThread(const Maker& make, QObject* parent = nullptr);
    // Hangs up a call in progress and ends the thread; the line is destroyed on it.
    ~LineThread() override;

    // The line itself, for settings between calls; while a step runs, only its thread may
    // touch it.
    IPagingLine& line() { return *m_line; }

    // Runs `work` on the line's thread, then `done` on this object's thread. One step at a
    // time: a step given while another runs waits for it.
    void run(Work work, Done done);
    // Runs `work` on the line's thread and waits for it, serving this thread's events
    // meanwhile; for the commands that act on an idle line.
    void runNow(const Work& work);
    // A step is under way (given, and its `done` has not run yet).
    bool busy() const { return m_pending > 0; }

    // Drops the call in hand on the line's thread, inside whatever the line is waiting for:
    // Connect and SendPage return false, as after a hang-up from the window.
    void cancel();

    // Pauses after a hang-up are cut short from now on (the run is stopping); reset by
    // setCutPauses(false) at the start of a run.
    void setCutPauses(bool cut) { m_cutPauses.store(cut); }
    bool cutPauses() const { return m_cutPauses.load(); }

signals:
    // A progress text of the line.
    void progress(const QByteArray& text);

private:
    QThread* m_thread = nullptr;
    QObject* m_home = nullptr; // lives on the line's thread: steps are queued to it
    std::unique_ptr<IPagingLine> m_line;
    int m_pending = 0;
    std::atomic<bool> m_cutPauses{false};
};
