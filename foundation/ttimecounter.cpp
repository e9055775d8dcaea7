#include "foundation/ttimecounter.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"

#include <QTimer>

TTimeCounter::TTimeCounter(QObject* parent) : TTimeCounter(Pacing::standard(), parent) {}

TTimeCounter::TTimeCounter(const Pacing& pacing, QObject* parent)
    : QObject(parent), m_pacing(&pacing), m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &TTimeCounter::tick);
}

TTimeCounter::~TTimeCounter() = default;

void TTimeCounter::Start()
{
    m_count = m_timeOut;
    m_timer->start(m_pacing->scaled(1000));
}

void TTimeCounter::Stop()
{
    m_timer->stop();
}

bool TTimeCounter::isRunning() const
{
    return m_timer->isActive();
}

void TTimeCounter::tick()
{
    --m_count;
    if (m_count <= 0)
        m_timedOut = true;
}

bool waitUntil(TTimeCounter& counter, const std::function<bool()>& done)
{
    for (;;) {
        if (done())
            return true;
        if (counter.TimedOut())
            return false;
        EventPump::waitForEvents();
    }
}
