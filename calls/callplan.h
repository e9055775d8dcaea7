#pragma once

#include "queue/companylinesettings.h"

#include <QList>

#include <optional>

class PageStore;
class QueuedCompany;

// The calls a run makes to one company. Each page goes out with the line settings it was
// accepted with (the password, message length and line codes its sender gave), not with the
// ones its section holds now: a later page for the same number rewrites the section's keys, and
// with them a page accepted before would be split at another length or logged on with another
// password. The company's messages are therefore grouped by their settings, one call per set,
// in the order in which each set first occurs.
struct PlannedCall
{
    // Nothing: settings no call can be made with (a section edited by hand to an unknown code).
    std::optional<CompanyLineSettings> settings;
    QList<qsizetype> messages; // positions in the company's messages, in file order
};

namespace CallPlan {

// The company's calls. `ids` names each message's page in the store (as PageStore::idsOf gives
// them), `store` tells their state and settings; without a store, or for an entry without a
// record, the section's settings count. A page held until later, cancelled or already final is
// in no call; a company with nothing to send gets no call at all.
QList<PlannedCall> of(const QueuedCompany& company, const QList<std::optional<qint64>>& ids,
                      PageStore* store);

} // namespace CallPlan
