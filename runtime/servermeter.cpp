#include "runtime/servermeter.h"

#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/errors.h"
#include "pages/pagequeue.h"
#include "pages/pagerecord.h"
#include "pages/pagestore.h"
#include "runtime/pagekeeping.h"

ServerMeter::ServerMeter(ServerState& state, PageKeeping& pages, CallProcessor& run,
                         QObject* parent)
    : QObject(parent), m_state(state)
{
    pages.pageQueue().setOnTaken([this](const QList<NewPage>& taken) {
        for (const NewPage& page : taken)
            ++m_accepted[page.frontEnd];
    });
    PageStore& store = pages.store();
    connect(&store, &PageStore::pageFinished, this, [this, &store](qint64 id) {
        // The store was written a moment ago; a page it cannot read now is not counted.
        try {
            if (const std::optional<PageRecord> page = store.page(id))
                ++m_finished[page->state];
        } catch (const EZelkorError&) {
        }
    });
    connect(&run, &CallProcessor::callStarted, this,
            [this](const QByteArray& company, const QByteArray& line) {
                endCall(company, false);
                ++m_calls;
                m_inProgress.insert(company, Call{company, line, m_state.now()});
            });
    connect(&run, &CallProcessor::callEnded, this,
            [this](const QByteArray& company, bool reached) { endCall(company, !reached); });
    // A run broken off by a failure: the calls in hand did not end as planned.
    connect(&run, &CallProcessor::runEnded, this, [this] {
        for (const QByteArray& company : m_inProgress.keys())
            endCall(company, true);
    });
}

double ServerMeter::lineSeconds() const
{
    qint64 ms = m_lineMs;
    for (const Call& call : m_inProgress)
        ms += std::max<qint64>(0, call.since.msecsTo(m_state.now()));
    return static_cast<double>(ms) / 1000.0;
}

std::optional<ServerMeter::Call> ServerMeter::callInProgress() const
{
    std::optional<Call> first;
    for (const Call& call : m_inProgress) {
        if (!first || call.since < first->since)
            first = call;
    }
    return first;
}

void ServerMeter::endCall(const QByteArray& company, bool failed)
{
    const auto it = m_inProgress.find(company);
    if (it == m_inProgress.end())
        return;
    m_lineMs += std::max<qint64>(0, it->since.msecsTo(m_state.now()));
    if (failed)
        ++m_failedCalls;
    m_inProgress.erase(it);
}
