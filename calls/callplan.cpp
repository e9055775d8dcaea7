#include "calls/callplan.h"

#include "pages/pagestore.h"
#include "queue/queuedcompany.h"

namespace {

// What the store says of a message: sent with these settings, or not sent now.
struct Planned
{
    bool send = true;
    std::optional<CompanyLineSettings> settings;
};

Planned planOne(const std::optional<CompanyLineSettings>& sectionSettings,
                const std::optional<qint64>& id, PageStore* store)
{
    if (!store || !id)
        return {true, sectionSettings};
    const std::optional<PageRecord> page = store->page(*id);
    // A record gone meanwhile leaves an entry like one that never had one.
    if (!page)
        return {true, sectionSettings};
    // Only a queued page is sent, and one left sending by a run that failed before the
    // terminal's answer was recorded (one run sends at a time).
    if (page->state != PageState::Queued && page->state != PageState::Sending)
        return {false, std::nullopt};
    if (!page->settings.codesKnown() || page->settings.length <= 0)
        return {true, std::nullopt};
    return {true, page->settings};
}

} // namespace

QList<PlannedCall> CallPlan::of(const QueuedCompany& company,
                                const QList<std::optional<qint64>>& ids, PageStore* store)
{
    const std::optional<CompanyLineSettings> sectionSettings = company.lineSettings();
    QList<PlannedCall> calls;
    for (qsizetype i = 0; i < company.messages.size(); ++i) {
        const std::optional<qint64> id = i < ids.size() ? ids[i] : std::nullopt;
        const Planned planned = planOne(sectionSettings, id, store);
        if (!planned.send)
            continue;
        auto call = std::find_if(calls.begin(), calls.end(), [&](const PlannedCall& c) {
            return c.settings == planned.settings;
        });
        if (call == calls.end()) {
            calls.append({planned.settings, {}});
            call = std::prev(calls.end());
        }
        call->messages.append(i);
    }
    return calls;
}
