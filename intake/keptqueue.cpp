#include "intake/keptqueue.h"

#include "core/serverstate.h"
#include "foundation/widgettext.h"
#include "queue/messagequeuefile.h"

namespace KeptQueue {

void takeOver(ServerState& state)
{
    const MessageQueueFile queue(state.dataFile(MessageQueueFile::FileName));
    if (!queue.exists()) {
        state.setQueuedCount(0);
        return;
    }
    const qint32 count = queue.countMessages();
    state.setQueuedCount(count);
    const QByteArray line = "Queued messages kept from the last run: " + QByteArray::number(count);
    state.addConnectionLog(WidgetText::fromBytes(line));
    state.AppendLog(line);
}

} // namespace KeptQueue
