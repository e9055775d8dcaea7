#include "server/keptqueue.h"

#include "foundation/widgettext.h"
#include "queue/messagequeuefile.h"
#include "server/ilogsinks.h"
#include "server/iserversettings.h"
#include "server/iserverstatus.h"

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
