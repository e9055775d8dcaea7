#include "intake/keptqueue.h"

#include "core/ilogsinks.h"
#include "core/iserverstatus.h"
#include "foundation/widgettext.h"
#include "queue/messagequeue.h"

namespace KeptQueue {

void takeOver(IServerStatus& status, ILogSinks& log)
{
    const std::optional<qint32> count = status.queue().takeOver();
    if (!count)
        return;
    const QByteArray line = "Queued messages kept from the last run: " + QByteArray::number(*count);
    log.addConnectionLog(WidgetText::fromBytes(line));
    log.AppendLog(line);
}

} // namespace KeptQueue
