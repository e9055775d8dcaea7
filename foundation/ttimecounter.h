#pragma once

#include <QObject>

#include <functional>

class Pacing;
class QTimer;

// A countdown in whole seconds that bounds every wait of the server. Each tick of its timer
// lowers the count; at zero or below TimedOut goes on and stays on, and the count goes on
// falling until Stop. Start resets the count only: it never clears TimedOut. A second lasts as
// long as the counter's Pacing makes it.
class TTimeCounter final : public QObject
{
    Q_OBJECT

public:
    explicit TTimeCounter(QObject* parent = nullptr);
    TTimeCounter(const Pacing& pacing, QObject* parent = nullptr);
    ~TTimeCounter() override;

    // Taken up at the next Start.
    void setPacing(const Pacing& pacing) { m_pacing = &pacing; }

    void Start();
    void Stop();

    qint32 TimeOut() const { return m_timeOut; }
    void setTimeOut(qint32 seconds) { m_timeOut = seconds; }
    bool TimedOut() const { return m_timedOut; }
    void setTimedOut(bool timedOut) { m_timedOut = timedOut; }
    qint32 count() const { return m_count; }
    bool isRunning() const;

private:
    void tick();

    const Pacing* m_pacing;
    QTimer* m_timer;
    qint32 m_count = 0;
    qint32 m_timeOut = 60;
    bool m_timedOut = false;
};

// The one wait loop of the server: checks `done`, and while it does not hold and the counter
// has not timed out, blocks in the event loop until something happens. The counter must be
// running (its tick wakes the wait). True when `done` held.
bool waitUntil(TTimeCounter& counter, const std::function<bool()>& done);
