#include "runtime/httpstatusview.h"

#include "core/serverstate.h"
#include "directories/companydirectory.h"
#include "directories/sharedpaths.h"
#include "foundation/errors.h"
#include "foundation/widgettext.h"
#include "pages/pagerecord.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"
#include "runtime/pagekeeping.h"
#include "runtime/servermeter.h"

#include <QFileInfo>

namespace {

HttpPageState httpState(PageState state)
{
    switch (state) {
    case PageState::Accepting: // written, only its confirmation outstanding
    case PageState::Queued:
        return HttpPageState::Queued;
    case PageState::Held:
        return HttpPageState::Held;
    case PageState::Sending:
        return HttpPageState::Sending;
    case PageState::Delivered:
        return HttpPageState::Delivered;
    case PageState::Failed:
        return HttpPageState::Failed;
    case PageState::Expired:
        return HttpPageState::Expired;
    case PageState::Cancelled:
        return HttpPageState::Cancelled;
    }
    return HttpPageState::Queued;
}

HttpPageRecord httpRecord(const PageRecord& page)
{
    HttpPageRecord record;
    record.id = QString::number(page.id);
    record.to = page.pagerId;
    record.pin = page.pin;
    record.company = page.company;
    record.state = httpState(page.state);
    if (page.state == PageState::Failed || page.state == PageState::Expired)
        record.reason = page.reason;
    record.acceptedAt = page.acceptedAt;
    record.updatedAt = page.updatedAt;
    for (const PageHistoryEntry& entry : page.history) {
        // The moment between a page's record and its queue write is the store's own affair.
        if (entry.state == PageState::Accepting)
            continue;
        record.history.append({entry.at, httpState(entry.state), entry.note});
    }
    return record;
}

} // namespace

template <typename Read> auto HttpStatusView::fromStore(Read read) const -> decltype(read())
{
    try {
        auto result = read();
        m_storeProblem.reset();
        return result;
    } catch (const EZelkorError& error) {
        m_storeProblem = "the pages cannot be read: " + error.message();
        return {};
    }
}

HttpStatusView::HttpStatusView(const ServerState& state, PageKeeping& pages,
                               const ServerMeter& meter)
    : m_state(state), m_pages(pages), m_meter(meter)
{
}

std::optional<HttpPageRecord> HttpStatusView::page(const QString& id) const
{
    bool isNumber = false;
    const qint64 number = id.toLongLong(&isNumber);
    // Only the ids the store hands out: decimal digits, no sign, no blanks.
    if (!isNumber || number <= 0 || QString::number(number) != id)
        return std::nullopt;
    const std::optional<PageRecord> page = fromStore([&] { return m_pages.store().page(number); });
    if (!page || page->state == PageState::Accepting)
        return std::nullopt;
    return httpRecord(*page);
}

QList<HttpPageRecord> HttpStatusView::recentPages(int count) const
{
    QList<HttpPageRecord> records;
    const QList<PageRecord> pages = fromStore([&] { return m_pages.store().recent(count); });
    for (const PageRecord& page : pages) {
        if (page.state != PageState::Accepting)
            records.append(httpRecord(page));
    }
    return records;
}

QList<HttpCompanyQueue> HttpStatusView::queuedByCompany() const
{
    return fromStore([&] {
        QList<HttpCompanyQueue> companies;
        const MessageQueue& queue = m_state.queue();
        if (!queue.exists())
            return companies;
        const QHash<QByteArray, QByteArray> names = companyNames();
        for (const QByteArray& section : queue.sectionNames()) {
            const qsizetype messages = queue.readCompany(section).messages.size();
            if (messages > 0)
                companies.append(
                    {section, static_cast<int>(messages), names.value(section.trimmed())});
        }
        return companies;
    });
}

QHash<QByteArray, QByteArray> HttpStatusView::companyNames() const
{
    // The company list lies beside the shared user file; the first company with a number names
    // it. A list that cannot be read leaves the numbers alone.
    QHash<QByteArray, QByteArray> names;
    try {
        const CompanyDirectory companies(SharedPaths::directoryOf(
            WidgetText::fromFileName(m_state.config().UserFile), m_state.dataDir()));
        for (const QByteArray& name : companies.names()) {
            const QByteArray number = companies.read(name).AccessNumber.trimmed();
            if (!number.isEmpty() && !names.contains(number))
                names.insert(number, name);
        }
    } catch (const EZelkorError&) {
    }
    return names;
}

std::optional<QDateTime> HttpStatusView::nextCheck() const
{
    // The countdown falls by one at each whole minute and the check comes at 0; with a check
    // interval of 0 no check is planned.
    if (m_state.config().QueTime <= 0)
        return std::nullopt;
    const QDateTime now = m_state.now();
    QDateTime minute = now;
    minute.setTime(QTime(now.time().hour(), now.time().minute()));
    const qint32 left = std::max(1, m_state.nextCheck());
    return minute.addSecs(60LL * left);
}

std::optional<HttpCallInProgress> HttpStatusView::callInProgress() const
{
    if (const std::optional<ServerMeter::Call> call = m_meter.callInProgress())
        return HttpCallInProgress{call->company, call->since};
    return std::nullopt;
}

std::optional<QByteArray> HttpStatusView::queueProblem() const
{
    const QFileInfo folder(m_state.dataDir());
    if (!folder.isDir() || !folder.isWritable())
        return "the data folder cannot be written: " + WidgetText::toBytes(folder.filePath());
    const QFileInfo queueFile(m_state.queue().path());
    if (queueFile.exists() && !queueFile.isWritable())
        return "the queue file cannot be written: " + WidgetText::toBytes(queueFile.filePath());
    return m_storeProblem;
}

HttpMetricsSnapshot HttpStatusView::snapshot() const
{
    HttpMetricsSnapshot metrics;
    metrics.acceptedWorkstation = m_meter.accepted(FrontEnd::Workstation);
    metrics.acceptedSnpp = m_meter.accepted(FrontEnd::Snpp);
    metrics.acceptedHttp = m_meter.accepted(FrontEnd::Http);
    metrics.acceptedAlertmanager = m_meter.accepted(FrontEnd::Alertmanager);
    metrics.delivered = m_meter.finished(PageState::Delivered);
    metrics.failed = m_meter.finished(PageState::Failed);
    metrics.expired = m_meter.finished(PageState::Expired);
    const QMap<PageState, qint64> counts = fromStore([&] { return m_pages.store().counts(); });
    for (const PageState state : {PageState::Queued, PageState::Held, PageState::Sending})
        metrics.queued += static_cast<quint64>(counts.value(state));
    metrics.calls = m_meter.calls();
    metrics.callsFailed = m_meter.failedCalls();
    metrics.lineSeconds = m_meter.lineSeconds();
    metrics.lastCheck = m_meter.lastCheck();
    metrics.version = ZELKOR_VERSION;
    return metrics;
}
