#include "foundation/pacing.h"

#include "foundation/eventpump.h"

#include <QThread>

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
    pauseResponsiveUntil(nominalMs, [] { return false; });
}

bool pauseResponsiveUntil(int nominalMs, const std::function<bool()>& stop)
{
    return EventPump::waitFor(scaled(nominalMs), stop);
}

} // namespace Pacing
