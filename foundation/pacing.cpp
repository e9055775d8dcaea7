#include "foundation/pacing.h"

#include "foundation/eventpump.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace Pacing {
namespace {
double s_scale = 1.0;
}

void setScale(double factor)
{
    s_scale = factor > 0 ? factor : 1.0;
}

double scale()
{
    return s_scale;
}

int scaled(int nominalMs)
{
    if (nominalMs <= 0)
        return 0;
    const int ms = static_cast<int>(std::lround(nominalMs * s_scale));
    return ms < 1 ? 1 : ms;
}

void sleep(int nominalMs)
{
    const int ms = scaled(nominalMs);
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void pauseResponsive(int nominalMs)
{
    const int ms = scaled(nominalMs);
    if (ms <= 0)
        return;
    QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    // A single-shot timer makes sure the blocking wait below wakes up when the pause is over.
    // It is armed again whenever it has fired while time is left (a timer may fire a little
    // early), so the wait never blocks past the end of the pause.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        if (!wake.isActive())
            wake.start(std::max<qint64>(1, deadline.remainingTime()));
        EventPump::waitForEvents();
    }
}

} // namespace Pacing
