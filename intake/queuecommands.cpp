#include "intake/queuecommands.h"

#include "core/ilogsinks.h"
#include "core/iserverstatus.h"
#include "core/serverstate.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "pages/pagequeue.h"
#include "queue/messagequeue.h"

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

QueueCommands::QueueCommands(ServerState& state, IOperatorPrompts& prompts, PageQueue* pages)
    : m_status(state), m_log(state), m_prompts(prompts), m_pages(pages)
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

    // With a page store the test message is recorded like any page, so its fate is known too.
    std::optional<qint64> id;
    if (m_pages) {
        id = m_pages->takeTestMessage(*number, *pin);
        if (!id)
            throw EZelkorError("Message Queue Full For " + *number + "!");
    } else if (!m_status.queue().addTestMessage(*number, *pin)) {
        throw EZelkorError("Message Queue Full For " + *number + "!");
    }

    const QByteArray lines[] = {
        "Message Received From: Zelkor Server", "  Msg. To: Unknown", "         PIN: " + *pin,
        "Message: Zelkor LAN Server Test",      QByteArray(42, '-'),
    };
    for (const QByteArray& line : lines) {
        m_log.addConnectionLog(WidgetText::fromBytes(line));
        m_log.AppendLog(line);
    }
    if (id) {
        const QByteArray line =
            "Page " + QByteArray::number(*id) + " Queued: " + *number + ' ' + *pin;
        m_log.addConnectionLog(WidgetText::fromBytes(line));
        m_log.AppendLog(line);
    }
    return true;
}

bool QueueCommands::clearMessageQueue()
{
    if (!m_prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                            QStringLiteral("Clear All Queued Messages?")))
        return false;

    // A file that cannot be deleted keeps its count: the counter goes on showing what is queued
    // instead of claiming an empty queue.
    MessageQueue& queue = m_status.queue();
    if (m_pages)
        m_pages->clear("Message Queue Cleared!");
    else if (!queue.clear())
        throw EZelkorError("Unable to delete " + WidgetText::toBytes(queue.path()));

    const QString line = m_log.timeStamp() + QStringLiteral(" Message Queue Cleared!");
    m_log.addTransmitLog(line);
    m_log.AppendLog(WidgetText::toBytes(line));
    return true;
}
