#pragma once

#include <QByteArray>
#include <QObject>

#include <QList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

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
// progress() on that thread too. Steps, replies and texts pass through queues under a lock of
// this object's own; Qt's event queue only wakes the thread that is to take them.
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

protected:
    bool event(QEvent* event) override;

private:
    class Home;
    struct Step
    {
        Work work;
        Done done;
    };
    struct Reply
    {
        Done done;
        std::exception_ptr failure;
    };

    // On the line's thread.
    void makeLine();
    void takeStep();
    void takeCancel();
    void lineEnds();
    void sendProgress(const QByteArray& text);
    // On this object's thread.
    void takeReplies();

    QThread* m_thread = nullptr;
    Home* m_home = nullptr; // lives on the line's thread: steps are posted to it
    std::unique_ptr<IPagingLine> m_line;
    int m_pending = 0;
    std::atomic<bool> m_cutPauses{false};

    std::mutex m_mutex;
    Maker m_maker; // until the line is made
    std::condition_variable m_made;
    bool m_lineMade = false;
    bool m_ended = false;
    std::deque<Step> m_steps;
    std::deque<Reply> m_replies;
    QList<QByteArray> m_texts;
};
