#include "runtime/nextcheckcountdown.h"

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/iserverstatus.h"
#include "core/serverconfig.h"
#include "foundation/datetimetext.h"
#include "queue/messagequeue.h"

#include <limits>

NextCheckCountdown::NextCheckCountdown(const IServerSettings& settings, IServerStatus& status,
                                       ILogSinks& log)
    : m_settings(settings), m_status(status), m_log(log)
{
}

void NextCheckCountdown::Timer1Timer(const QDateTime& now)
{
    m_status.setClockText(DateTimeText::clock(now));
    const QTime time = now.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) {
        m_log.clearConnectionLog();
        m_log.clearTransmitLog();
    }
    // A minute counts at every tick whose clock reads second 00.
    if (time.second() != 0)
        return;
    const qint32 queTime = m_settings.config().QueTime;
    // With checks switched off the countdown falls for ever; it stops at the bottom of its
    // range instead of wrapping round to a huge count.
    const qint32 current = m_status.nextCheck();
    const qint32 left = current > std::numeric_limits<qint32>::min() ? current - 1 : current;
    m_status.setNextCheck(left);
    // The check is due at 0. A run that outlasts the countdown leaves it below 0 (ticks go on
    // inside the run's waits); the first minute after that run then starts the next check, so
    // the automatic checks never stop for good. A check interval of 0 switches them off: the
    // countdown just keeps falling.
    const bool due = left == 0 || (left < 0 && queTime > 0);
    if (!due || m_status.serverBusy())
        return;
    m_status.setNextCheck(queTime);
    // A counter that missed a page must not keep it from its delivery: the file is asked too.
    if (m_status.queue().holdsMessages() && m_onAutomaticRun) {
        m_status.setServerBusy(true);
        m_onAutomaticRun();
    }
}
