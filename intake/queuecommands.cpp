#include "intake/queuecommands.h"

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/iserverstatus.h"
#include "core/serverstate.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "queue/messagequeuefile.h"

namespace {

const QString TestTitle = QStringLiteral("Send Test Message");

std::optional<QByteArray> askNonEmpty(IOperatorPrompts& prompts, const QString& prompt)
{
    const std::optional<QString> answer = prompts.inputText(TestTitle, prompt, QString());
    if (!answer || answer->isEmpty())
        return std::nullopt;
    return WidgetText::toBytes(*answer);
}

} // namespace

QueueCommands::QueueCommands(ServerState& state, IOperatorPrompts& prompts)
    : m_settings(state), m_status(state), m_log(state), m_prompts(prompts)
{
}

bool QueueCommands::sendTestMessage()
{
    IOperatorPrompts& prompts = m_prompts;
    const auto pin = askNonEmpty(prompts, QStringLiteral("Enter PIN To Send To:"));
    if (!pin)
        return false;
    const auto number = askNonEmpty(prompts, QStringLiteral("Enter Paging Co. Access Number:"));
    if (!number)
        return false;

    // A message already queued under MSG1 must not be overwritten by the test, so the test
    // takes the section's next free key as a submission does.
    MessageQueueFile queue(m_settings.dataFile(MessageQueueFile::FileName));
    const std::optional<qint32> key = queue.nextFreeMessageKey(*number);
    if (!key)
        throw EZelkorError("Message Queue Full For " + *number + "!");
    queue.writeTestMessage(*number, *key, *pin);

    const QByteArray lines[] = {
        "Message Received From: Zelkor Server", "  Msg. To: Unknown", "         PIN: " + *pin,
        "Message: Zelkor LAN Server Test",      QByteArray(42, '-'),
    };
    for (const QByteArray& line : lines) {
        m_log.addConnectionLog(WidgetText::fromBytes(line));
        m_log.AppendLog(line);
    }
    m_status.setQueuedCount(m_status.queuedCount() + 1);
    return true;
}

bool QueueCommands::clearMessageQueue()
{
    if (!m_prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                            QStringLiteral("Clear All Queued Messages?")))
        return false;

    // The file goes first: if it cannot be deleted, the counter keeps showing what is queued
    // instead of claiming an empty queue.
    MessageQueueFile queue(m_settings.dataFile(MessageQueueFile::FileName));
    if (!queue.remove())
        throw EZelkorError("Unable to delete " + WidgetText::toBytes(queue.path()));
    m_status.setQueuedCount(0);

    const QString line = m_log.timeStamp() + QStringLiteral(" Message Queue Cleared!");
    m_log.addTransmitLog(line);
    m_log.AppendLog(WidgetText::toBytes(line));
    return true;
}
