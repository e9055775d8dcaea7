#include "runtime/httpbridge.h"

#include "core/ilogsinks.h"
#include "core/serverstate.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "http/httpfrontend.h"
#include "queue/queuesubmission.h"
#include "runtime/pagekeeping.h"
#include "runtime/pagersubmission.h"
#include "snpp/ipagerdirectory.h"
#include "snpp/snpppagecheck.h"
#include "snpp/snppprotocol.h"

namespace {

using Outcome = HttpIntakeResult::Outcome;

} // namespace

HttpBridge::HttpBridge(ServerState& state, PageKeeping& pages, const IPagerDirectory& directory,
                       const ServerMeter& meter, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_state(state), m_log(state), m_admission(state), m_directory(directory),
      m_queuer(state), m_prompts(prompts), m_view(state, pages, meter),
      m_frontEnd(std::make_unique<HttpFrontEnd>(*this, *this, m_view, m_view))
{
    m_queuer.setPageQueue(&pages.pageQueue(), FrontEnd::Http);
    m_pageQueue = &pages.pageQueue();
}

HttpBridge::~HttpBridge() = default;

void HttpBridge::start()
{
    QString problem;
    std::optional<QString> unusable;
    if (const std::optional<HttpSettings> read = HttpSettings::read(m_state.dataDir(), problem))
        m_settings = *read;
    else
        unusable = QStringLiteral("%1: the HTTP front end keeps the settings in use (%2)")
                       .arg(problem, m_settings.describe());
    const std::optional<QString> failure = apply();
    if (unusable)
        m_prompts.showError(failure ? *unusable + QStringLiteral("\r\n") + *failure : *unusable);
    else if (failure)
        m_prompts.showError(*failure);
}

std::optional<QString> HttpBridge::configure(const HttpSettings& settings)
{
    std::optional<QString> failure;
    try {
        settings.save(m_state.dataDir());
    } catch (const EZelkorError& error) {
        // The front end still follows the operator's choice until the program ends.
        failure = error.text();
    }
    m_settings = settings;
    const std::optional<QString> listenFailure = apply();
    return failure ? failure : listenFailure;
}

bool HttpBridge::isListening() const
{
    return m_frontEnd->isListening();
}

void HttpBridge::stop()
{
    m_frontEnd->stop();
}

std::optional<QString> HttpBridge::apply()
{
    m_frontEnd->setToken(m_settings.token);
    if (m_settings.enabled && m_frontEnd->isListening() && m_frontEnd->port() == m_settings.port)
        return std::nullopt; // the clients being served go on
    m_frontEnd->stop();
    if (!m_settings.enabled)
        return std::nullopt;
    if (const std::optional<QString> reason = m_frontEnd->listen(m_settings.port)) {
        return QStringLiteral("HTTP Front End Cannot Listen On Port %1: %2")
            .arg(m_settings.port)
            .arg(*reason);
    }
    m_log.addConnectionLog(QStringLiteral("HTTP Listening on port %1").arg(m_frontEnd->port()));
    return std::nullopt;
}

bool HttpBridge::addressAdmitted(const QByteArray& address) const
{
    return m_admission.addressAdmitted(address);
}

HttpIntakeResult HttpBridge::submit(const HttpPageRequest& request)
{
    // A failure of the store or the queue beyond the ones the queue answers itself is told to
    // the operator; the client learns that its pages were not taken.
    HttpIntakeResult result =
        HttpIntakeResult::refused(Outcome::Unavailable, "the server failed to take the page");
    const auto work = [&] { result = take(request); };
    if (m_guard)
        m_guard(work);
    else
        work();
    if (result.outcome != Outcome::Queued) {
        QByteArray line = "HTTP Message Refused From: " + request.sender;
        if (request.pagerIds.size() == 1)
            line += " To: " + request.pagerIds.constFirst();
        m_log.addConnectionLog(WidgetText::fromBytes(line + " (" + result.detail + ")"));
    }
    return result;
}

std::optional<HttpIntakeResult> HttpBridge::refusalFor(const QByteArray& pagerId,
                                                       const PagerTarget& target,
                                                       const QByteArray& text) const
{
    if (const std::optional<QByteArray> reason = SnppPageCheck::pinRefusal(target))
        return HttpIntakeResult::refused(Outcome::PagerRefused, pagerId + ": " + *reason);
    const QByteArray& number = target.company.AccessNumber;
    if (!m_admission.mayDial(number))
        return HttpIntakeResult::refused(Outcome::NumberNotAllowed, pagerId + " (" + number + ")");
    if (SnppPageCheck::tooLong(target, text))
        return HttpIntakeResult::refused(Outcome::TooLong, pagerId);
    return std::nullopt;
}

HttpIntakeResult HttpBridge::take(const HttpPageRequest& request)
{
    // The subject goes ahead of the text on one line, as over SNPP.
    const QByteArray text = SnppProtocol::queuedText(request.subject, request.message);
    QList<QueueSubmission> submissions;
    QList<PageOrigin> origins;
    QList<QByteArray> addressees;
    // Every pager is checked before anything is written: one refused, none is queued.
    for (const QByteArray& pagerId : request.pagerIds) {
        const PagerLookup lookup = m_directory.resolve(pagerId);
        if (!lookup.found()) {
            const QByteArray why =
                lookup.failure.isEmpty() ? QByteArray() : " (" + lookup.failure + ")";
            return HttpIntakeResult::refused(Outcome::UnknownPager, pagerId + why);
        }
        for (const PagerTarget& target : lookup.targets) {
            if (std::optional<HttpIntakeResult> refusal = refusalFor(pagerId, target, text))
                return *refusal;
            submissions.append(
                pagerSubmission(target.company, target.pin, text, pagerId, request.sender));
            origins.append(PageOrigin{pagerId, {}, request.holdUntil});
            addressees.append(pagerId);
        }
    }
    if (submissions.isEmpty())
        return HttpIntakeResult::refused(Outcome::Malformed, "no pager named");
    m_queuer.setPageQueue(m_pageQueue, request.frontend == HttpFrontend::Alertmanager
                                           ? FrontEnd::Alertmanager
                                           : FrontEnd::Http);
    const std::optional<PageRefusal> refusal = m_queuer.queue(submissions, origins);
    if (refusal) {
        switch (refusal->kind) {
        case PageRefusal::Kind::NumberNotAllowed:
            return HttpIntakeResult::refused(Outcome::NumberNotAllowed, refusal->reason);
        // A company's section without a free key is the queue's limit, not the page's fault.
        case PageRefusal::Kind::QueueFull:
        case PageRefusal::Kind::Unavailable:
            return HttpIntakeResult::refused(Outcome::Unavailable, refusal->reason);
        case PageRefusal::Kind::Rejected:
            break;
        }
        return HttpIntakeResult::refused(Outcome::Malformed, refusal->reason);
    }
    HttpIntakeResult result;
    const QList<qint64>& ids = m_queuer.lastIds();
    for (qsizetype i = 0; i < ids.size() && i < addressees.size(); ++i)
        result.pages.append({QString::number(ids[i]), addressees[i]});
    return result;
}

bool HttpBridge::fits(const QByteArray& pagerId, const QByteArray& text) const
{
    PagerLookup lookup;
    try {
        lookup = m_directory.resolve(pagerId);
    } catch (const EZelkorError&) {
        // The lists cannot be read now: submit() tells the client and the operator why.
        return false;
    }
    if (!lookup.found())
        return false;
    for (const PagerTarget& target : lookup.targets) {
        if (SnppPageCheck::pinRefusal(target) || SnppPageCheck::tooLong(target, text))
            return false;
    }
    return true;
}
