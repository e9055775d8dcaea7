#include "foundation/pacing.h"

#include "foundation/eventpump.h"

#include <QThread>

#include <cmath>

Pacing::Pacing(double scale)
{
    setScale(scale);
}

const Pacing& Pacing::standard()
{
    static const Pacing pacing;
    return pacing;
}

void Pacing::setScale(double factor)
{
    m_scale = factor > 0 ? factor : 1.0;
}

int Pacing::scaled(int nominalMs) const
{
    if (nominalMs <= 0)
        return 0;
    const int ms = static_cast<int>(std::lround(nominalMs * m_scale));
    return ms < 1 ? 1 : ms;
}

void Pacing::sleep(int nominalMs) const
{
    const int ms = scaled(nominalMs);
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void Pacing::pauseResponsive(int nominalMs) const
{
    pauseResponsiveUntil(nominalMs, [] { return false; });
}

bool Pacing::pauseResponsiveUntil(int nominalMs, const std::function<bool()>& stop) const
{
    return EventPump::waitFor(scaled(nominalMs), stop);
}
