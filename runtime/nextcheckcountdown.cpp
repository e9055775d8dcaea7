#include "runtime/nextcheckcountdown.h"

#include "core/serverconfig.h"
#include "core/serverstate.h"
#include "foundation/datetimetext.h"
#include "queue/messagequeue.h"

#include <limits>

NextCheckCountdown::NextCheckCountdown(ServerState& state) : m_state(state) {}

void NextCheckCountdown::tick(const QDateTime& now)
{
    m_state.setClockText(DateTimeText::clock(now));
    const QTime time = now.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) {
        m_state.clearConnectionLog();
        m_state.clearTransmitLog();
    }
    // A minute counts at every tick whose clock reads second 00.
    if (time.second() != 0)
        return;
    const qint32 queTime = m_state.config().QueTime;
    // With checks switched off the countdown falls for ever; it stops at the bottom of its
    // range instead of wrapping round to a huge count.
    const qint32 current = m_state.nextCheck();
    const qint32 left = current > std::numeric_limits<qint32>::min() ? current - 1 : current;
    m_state.setNextCheck(left);
    // The check is due at 0. A run that outlasts the countdown leaves it below 0 (ticks go on
    // inside the run's waits); the first minute after that run then starts the next check, so
    // the automatic checks never stop for good. A check interval of 0 switches them off: the
    // countdown just keeps falling.
    const bool due = left == 0 || (left < 0 && queTime > 0);
    if (!due || m_state.serverBusy())
        return;
    m_state.setNextCheck(queTime);
    if (m_onCheck)
        m_onCheck(now);
    // A counter that missed a page must not keep it from its delivery: the file is asked too.
    if (m_state.queue().holdsMessages() && m_onAutomaticRun) {
        m_state.setServerBusy(true);
        m_onAutomaticRun();
    }
}
