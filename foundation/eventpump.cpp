#include "foundation/eventpump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace EventPump {

void once()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace EventPump
