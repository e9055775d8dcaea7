#include "intake/keptqueue.h"

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/iserverstatus.h"
#include "foundation/widgettext.h"
#include "queue/messagequeuefile.h"

namespace KeptQueue {

void takeOver(const IServerSettings& settings, IServerStatus& status, ILogSinks& log)
{
    const MessageQueueFile queue(settings.dataFile(MessageQueueFile::FileName));
    if (!queue.exists()) {
        status.setQueuedCount(0);
        return;
    }
    const qint32 count = queue.countMessages();
    status.setQueuedCount(count);
    const QByteArray line = "Queued messages kept from the last run: " + QByteArray::number(count);
    log.addConnectionLog(WidgetText::fromBytes(line));
    log.AppendLog(line);
}

} // namespace KeptQueue
