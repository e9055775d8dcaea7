#include "intake/keptqueue.h"

#include "core/serverstate.h"
#include "foundation/widgettext.h"
#include "queue/messagequeue.h"

namespace KeptQueue {

void takeOver(ServerState& state)
{
    const std::optional<qint32> count = state.queue().takeOver();
    if (!count)
        return;
    const QByteArray line = "Queued messages kept from the last run: " + QByteArray::number(*count);
    state.addConnectionLog(WidgetText::fromBytes(line));
    state.AppendLog(line);
}

} // namespace KeptQueue
