#include "server/submissionhandler.h"

#include "foundation/operatorprompts.h"
#include "server/allowlist.h"
#include "server/ipmatch.h"
#include "server/iserversettings.h"
#include "server/iserverstatus.h"
#include "server/serverconfig.h"

SubmissionHandler::SubmissionHandler(IServerSettings& settings, IServerStatus& status,
                                     ILogSinks& log, IOperatorPrompts& prompts)
    : m_settings(settings), m_status(status), m_prompts(prompts), m_queuer(settings, status, log)
{
}

bool SubmissionHandler::addressAdmitted(const QByteArray& address) const
{
    const TServerConfig& config = m_settings.config();
    return AddressAdmitted(address, config.IPAccept, config.IPDeny);
}

bool SubmissionHandler::numberAllowed(const QByteArray& accessNumber) const
{
    return AllowList::allows(m_settings.allowList(), accessNumber);
}

bool SubmissionHandler::serverBusy() const
{
    return m_status.serverBusy();
}

qint32 SubmissionHandler::nextCheck() const
{
    return m_status.nextCheck();
}

std::optional<PageRefusal> SubmissionHandler::checkPage(const SubmissionBlock& block,
                                                        const QByteArray& sender) const
{
    return m_queuer.check(block, sender);
}

std::optional<PageRefusal> SubmissionHandler::queuePages(const QList<SubmissionBlock>& blocks,
                                                         const QByteArray& sender)
{
    return m_queuer.queue(blocks, sender);
}

void SubmissionHandler::reportFailure(const QString& text)
{
    m_prompts.notifyError(text, {});
}
