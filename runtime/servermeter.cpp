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
            [this](const QByteArray& company, const QByteArray&) {
                endCall(false);
                ++m_calls;
                m_call = Call{company, m_state.now()};
            });
    connect(&run, &CallProcessor::callEnded, this, [this](bool reached) { endCall(!reached); });
    // A run broken off by a failure: the call in hand did not end as planned.
    connect(&run, &CallProcessor::runEnded, this, [this] { endCall(true); });
}

double ServerMeter::lineSeconds() const
{
    qint64 ms = m_lineMs;
    if (m_call)
        ms += std::max<qint64>(0, m_call->since.msecsTo(m_state.now()));
    return static_cast<double>(ms) / 1000.0;
}

void ServerMeter::endCall(bool failed)
{
    if (!m_call)
        return;
    m_lineMs += std::max<qint64>(0, m_call->since.msecsTo(m_state.now()));
    if (failed)
        ++m_failedCalls;
    m_call.reset();
}
