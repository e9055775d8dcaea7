#include "tests/http/fakeserver.h"

#include "paging/tapblockbuilder.h"

FakeServer::FakeServer()
{
    const Pager alice{"alice", "1234567", "Metro", "5551234", 80};
    const Pager bob{"bob", "2345678", "Metro", "5551234", 80};
    const Pager carol{"carol", "3456789", "Wide", "5554321", 240};
    const Pager dave{"dave", "4567890", "Far", "19005550000", 80};
    m_directory.insert("alice", {alice});
    m_directory.insert("ops", {bob, carol});
    m_directory.insert("dave", {dave});
    m_allowed = {"5551234", "5554321"};
    m_metrics.version = "1.0";
}

QList<FakeServer::Pager> FakeServer::resolve(const QByteArray& pagerId) const
{
    const qsizetype at = pagerId.indexOf('@');
    if (at > 0 && pagerId.mid(at + 1).toLower() == "metro")
        return {Pager{pagerId, pagerId.left(at), "Metro", "5551234", 80}};
    return m_directory.value(pagerId.toLower());
}

bool FakeServer::addressAdmitted(const QByteArray& address) const
{
    return !denied.contains(address);
}

bool FakeServer::fits(const QByteArray& pagerId, const QByteArray& text) const
{
    const QList<Pager> pagers = resolve(pagerId);
    if (pagers.isEmpty())
        return false;
    for (const Pager& pager : pagers) {
        TapBlockBuilder builder(pager.pin, pager.length, false);
        if (!builder.build(TapBlockBuilder::escape(text)) ||
            builder.blocks().last().contains("(CONT.)"))
            return false;
    }
    return true;
}

HttpIntakeResult FakeServer::submit(const HttpPageRequest& request)
{
    using Outcome = HttpIntakeResult::Outcome;
    m_requests.append(request);
    QList<std::pair<QByteArray, Pager>> targets;
    for (const QByteArray& id : request.pagerIds) {
        const QList<Pager> pagers = resolve(id);
        if (pagers.isEmpty())
            return HttpIntakeResult::refused(Outcome::UnknownPager, id);
        for (const Pager& pager : pagers) {
            if (!m_allowed.contains(pager.number))
                return HttpIntakeResult::refused(Outcome::NumberNotAllowed, pager.number);
        }
        if (!fits(id, request.message))
            return HttpIntakeResult::refused(Outcome::TooLong, id);
        for (const Pager& pager : pagers)
            targets.append({id, pager});
    }
    if (unavailable)
        return HttpIntakeResult::refused(Outcome::Unavailable, "the disk is full");

    HttpIntakeResult result;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const auto& [id, pager] : targets) {
        HttpPageRecord record;
        record.id = QString::number(++m_nextId);
        record.to = pager.name;
        record.pin = pager.pin;
        record.company = pager.company;
        record.acceptedAt = record.updatedAt = now;
        record.history = {{now, HttpPageState::Queued, {}}};
        m_pages.append(record);
        result.pages.append({record.id, pager.name});
        if (request.frontend == HttpFrontend::Http)
            ++m_metrics.acceptedHttp;
        else
            ++m_metrics.acceptedAlertmanager;
        ++m_metrics.queued;
    }
    return result;
}

void FakeServer::finish(const QString& id, HttpPageState state, const QByteArray& reason)
{
    for (HttpPageRecord& record : m_pages) {
        if (record.id != id)
            continue;
        record.updatedAt = record.acceptedAt.addSecs(90);
        record.history.append({record.acceptedAt.addSecs(60), HttpPageState::Sending, {}});
        record.history.append({record.updatedAt, state, reason});
        record.state = state;
        record.reason = reason;
        --m_metrics.queued;
        if (state == HttpPageState::Delivered)
            ++m_metrics.delivered;
        else if (state == HttpPageState::Failed)
            ++m_metrics.failed;
    }
}

std::optional<HttpPageRecord> FakeServer::page(const QString& id) const
{
    for (const HttpPageRecord& record : m_pages) {
        if (record.id == id)
            return record;
    }
    return std::nullopt;
}

QList<HttpPageRecord> FakeServer::recentPages(int count) const
{
    QList<HttpPageRecord> recent;
    for (qsizetype i = m_pages.size() - 1; i >= 0 && recent.size() < count; --i)
        recent.append(m_pages[i]);
    return recent;
}

QList<HttpCompanyQueue> FakeServer::queuedByCompany() const
{
    QMap<QByteArray, int> counts;
    for (const HttpPageRecord& record : m_pages) {
        if (record.state == HttpPageState::Queued)
            ++counts[record.company];
    }
    QList<HttpCompanyQueue> queues;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        queues.append({it.key(), it.value(), {}});
    return queues;
}
