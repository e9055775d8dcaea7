#include "server/nextcheckcountdown.h"

#include "foundation/datetimetext.h"
#include "server/servercore.h"

#include <limits>

NextCheckCountdown::NextCheckCountdown(ServerCore& core) : m_core(core) {}

void NextCheckCountdown::Timer1Timer(const QDateTime& now)
{
    m_core.setPanelText(ServerCore::PanelClock, DateTimeText::clock(now));
    const QTime time = now.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) {
        m_core.clearConnectionLog();
        m_core.clearTransmitLog();
    }
    // A minute counts at every tick whose clock reads second 00.
    if (time.second() != 0)
        return;
    const qint32 queTime = m_core.config().QueTime;
    // With checks switched off the countdown falls for ever; it stops at the bottom of its
    // range instead of wrapping round to a huge count.
    const qint32 current = m_core.nextCheck();
    const qint32 left = current > std::numeric_limits<qint32>::min() ? current - 1 : current;
    m_core.setNextCheck(left);
    // The check is due at 0. A run that outlasts the countdown leaves it below 0 (ticks go on
    // inside the run's waits); the first minute after that run then starts the next check, so
    // the automatic checks never stop for good. A check interval of 0 switches them off: the
    // countdown just keeps falling.
    const bool due = left == 0 || (left < 0 && queTime > 0);
    if (!due || m_core.serverBusy())
        return;
    m_core.setNextCheck(queTime);
    if (m_core.queuedCount() > 0 && m_onAutomaticRun) {
        m_core.setServerBusy(true);
        m_onAutomaticRun();
    }
}
