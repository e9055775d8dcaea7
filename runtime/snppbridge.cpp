#include "runtime/snppbridge.h"

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/serverconfig.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "intake/submissionblock.h"
#include "intake/submissioncheck.h"
#include "snpp/pagerdirectory.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "workstation/isubmissionhandler.h"

SnppBridge::SnppBridge(ISubmissionHandler& submissions, const IServerSettings& settings,
                       ILogSinks& log, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_submissions(submissions), m_settings(settings), m_prompts(prompts),
      m_gateway(new SnppGateway(settings.dataDir(), *this, *this, *this, this))
{
    connect(&m_gateway->server(), &SnppServer::tooManySessions, this,
            [&log](const QByteArray& address) {
                log.addConnectionLog(QStringLiteral("SNPP Connection Refused From: ") +
                                     WidgetText::fromBytes(address) +
                                     QStringLiteral(" (Too Many Connections)"));
            });
    connect(m_gateway, &SnppGateway::drained, this, &SnppBridge::drained);
}

SnppBridge::~SnppBridge()
{
    // The sessions use this object: they end before it goes.
    m_gateway->server().abort();
}

void SnppBridge::start()
{
    if (const std::optional<QString> failure = m_gateway->start())
        m_prompts.showError(*failure);
}

void SnppBridge::stop()
{
    m_gateway->stop();
}

bool SnppBridge::isDrained() const
{
    return m_gateway->isDrained();
}

bool SnppBridge::addressAdmitted(const QByteArray& address) const
{
    return m_submissions.addressAdmitted(address);
}

bool SnppBridge::numberAllowed(const QByteArray& accessNumber) const
{
    return SubmissionCheck::isDiallable(accessNumber) && m_submissions.numberAllowed(accessNumber);
}

PagerLookup SnppBridge::resolve(const QByteArray& pagerId) const
{
    // The settings name the lists; the directory keeps what it read of them while they stay
    // the same files.
    const TServerConfig& config = m_settings.config();
    PagerDirectory named =
        PagerDirectory::fromSettings(config.UserFile, config.GroupFile, m_settings.dataDir());
    if (!m_directory || m_directory->userFile() != named.userFile() ||
        m_directory->groupFile() != named.groupFile())
        m_directory = std::make_unique<PagerDirectory>(std::move(named));
    return m_directory->resolve(pagerId);
}

PageSinkResult SnppBridge::queue(const QList<SnppPage>& pages, const QByteArray& sender)
{
    // While the check's run delivers the queue, a workstation's page waits; so does this one.
    if (m_submissions.serverBusy())
        return {PageSinkResult::Status::Busy, {}};
    QList<SubmissionBlock> blocks;
    for (const SnppPage& page : pages) {
        SubmissionBlock block;
        block.message = page.message;
        block.pin = page.pin;
        block.id = page.pagerId;
        block.accessNumber = page.company.AccessNumber;
        block.password = page.company.Password;
        block.length = page.company.Length;
        block.parity = QByteArray::number(page.company.Parity);
        block.dataBits = QByteArray::number(page.company.DataBits);
        block.stopBits = QByteArray::number(page.company.StopBits);
        blocks.append(block);
    }
    const std::optional<PageRefusal> refusal = m_submissions.queuePages(blocks, sender);
    if (!refusal)
        return {PageSinkResult::Status::Queued, {}};
    if (refusal->kind == PageRefusal::Kind::NumberNotAllowed)
        return {PageSinkResult::Status::NumberNotAllowed, refusal->reason};
    return {PageSinkResult::Status::Rejected, refusal->reason};
}
