#include "runtime/snppbridge.h"

#include "core/ilogsinks.h"
#include "core/serverconfig.h"
#include "core/serverstate.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "queue/queuesubmission.h"
#include "runtime/pagersubmission.h"
#include "snpp/pagerdirectory.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"

SnppBridge::SnppBridge(ServerState& state, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_state(state), m_log(state), m_admission(state), m_queuer(state),
      m_batch(m_queuer), m_prompts(prompts),
      m_gateway(new SnppGateway(state.dataDir(), *this, *this, *this, this))
{
    connect(&m_gateway->server(), &SnppServer::tooManySessions, this,
            [&state](const QByteArray& address) {
                state.addConnectionLog(QStringLiteral("SNPP Connection Refused From: ") +
                                       WidgetText::fromBytes(address) +
                                       QStringLiteral(" (Too Many Connections)"));
            });
    connect(m_gateway, &SnppGateway::drained, this, &SnppBridge::drained);
    connect(m_gateway, &SnppGateway::listeningChanged, this, [this](bool listening) {
        if (listening)
            m_log.addConnectionLog(
                QStringLiteral("SNPP Listening on port %1").arg(m_gateway->server().port()));
    });
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
    return m_admission.addressAdmitted(address);
}

bool SnppBridge::mayDial(const QByteArray& accessNumber) const
{
    return m_admission.mayDial(accessNumber);
}

PagerLookup SnppBridge::resolve(const QByteArray& pagerId) const
{
    // The settings name the lists; the directory keeps what it read of them while they stay
    // the same files.
    const TServerConfig& config = m_state.config();
    PagerDirectory named =
        PagerDirectory::fromSettings(config.UserFile, config.GroupFile, m_state.dataDir());
    if (!m_directory || m_directory->userFile() != named.userFile() ||
        m_directory->groupFile() != named.groupFile())
        m_directory = std::make_unique<PagerDirectory>(std::move(named));
    return m_directory->resolve(pagerId);
}

std::optional<PageSinkResult> SnppBridge::holdRefusal(const QList<SnppPage>& pages) const
{
    // Without a page store nothing keeps a page's time: rather than paging at once what the
    // client asked to be held, a page held into the future is not taken.
    if (m_queuer.keepsPages())
        return std::nullopt;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const SnppPage& page : pages) {
        if (page.holdUntil.isValid() && page.holdUntil > now)
            return PageSinkResult{PageSinkResult::Status::Unavailable,
                                  "Delayed Messaging Not Supported"};
    }
    return std::nullopt;
}

PageQueuer::Transaction SnppBridge::transaction(const QList<SnppPage>& pages,
                                                const QByteArray& sender)
{
    // A held page sits in the queue like any other; the page store keeps its time and the run
    // leaves it until then. The caller's own name is kept as the sender's identity.
    PageQueuer::Transaction transaction;
    transaction.submissions.reserve(pages.size());
    for (const SnppPage& page : pages) {
        transaction.submissions.append(
            pagerSubmission(page.company, page.pin, page.message, page.pagerId, sender));
        PageOrigin origin{page.pagerId, page.callerId, std::nullopt};
        if (page.holdUntil.isValid())
            origin.notBefore = page.holdUntil;
        transaction.origins.append(origin);
    }
    return transaction;
}

PageSinkResult SnppBridge::result(const std::optional<PageRefusal>& refusal,
                                  const QList<qint64>& ids)
{
    if (!refusal)
        return {PageSinkResult::Status::Queued, {}, ids};
    switch (refusal->kind) {
    case PageRefusal::Kind::NumberNotAllowed:
        return {PageSinkResult::Status::NumberNotAllowed, refusal->reason};
    // A company's section without a free key is the queue's limit, not the page's fault.
    case PageRefusal::Kind::QueueFull:
    case PageRefusal::Kind::Unavailable:
        return {PageSinkResult::Status::Unavailable, refusal->reason};
    case PageRefusal::Kind::Rejected:
        break;
    }
    return {PageSinkResult::Status::Rejected, refusal->reason};
}

PageSinkResult SnppBridge::queue(const QList<SnppPage>& pages, const QByteArray& sender)
{
    // Taken also while a run delivers the queue: the run removes only the entries it handled,
    // so a page queued meanwhile waits for the next check.
    if (std::optional<PageSinkResult> refusal = holdRefusal(pages))
        return *refusal;
    const PageQueuer::Transaction pagesOf = transaction(pages, sender);
    const std::optional<PageRefusal> refusal = m_queuer.queue(pagesOf.submissions, pagesOf.origins);
    return result(refusal, m_queuer.lastIds());
}

std::optional<quint64> SnppBridge::queueLater(const QList<SnppPage>& pages,
                                              const QByteArray& sender, Answer answer)
{
    PageQueuer::Transaction pagesOf = transaction(pages, sender);
    if (std::optional<PageSinkResult> refusal = holdRefusal(pages))
        pagesOf.refusal = PageRefusal{PageRefusal::Kind::Unavailable, refusal->detail};
    return m_batch.add(
        std::move(pagesOf), [answer = std::move(answer)](const PageBatch::Outcome& outcome) {
            answer(outcome.failed ? PageSinkResult{PageSinkResult::Status::Failed, {}}
                                  : result(outcome.refusal, outcome.ids));
        });
}

void SnppBridge::withdraw(quint64 ticket)
{
    m_batch.withdraw(ticket);
}

void SnppBridge::refused(const QByteArray& sender, const QByteArray& pagerId,
                         const QByteArray& reason)
{
    QByteArray line = "SNPP Message Refused From: " + sender;
    if (!pagerId.isEmpty())
        line += " To: " + pagerId;
    m_log.addConnectionLog(WidgetText::fromBytes(line + " (" + reason + ")"));
}
