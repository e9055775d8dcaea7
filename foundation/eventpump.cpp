#include "foundation/eventpump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace EventPump {

void once()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

bool waitFor(int ms, const std::function<bool()>& done)
{
    QDeadlineTimer deadline(std::max(ms, 0), Qt::PreciseTimer);
    // The timer wakes the blocking wait below when the time is up. It is armed again whenever
    // it has fired while time is left (a timer may fire a little early), so the wait never
    // blocks past its end.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        if (!wake.isActive())
            wake.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        waitForEvents();
    }
}

} // namespace EventPump
