#pragma once

#include "pages/reconcilereport.h"

class PageDatabase;
struct PagesSettings;

// The store's upkeep at a check: pages that waited too long expire, and final pages past their
// keeping time go with their history.
class PagePruner final
{
public:
    PagePruner(PageDatabase& db, qint64 now);

    // With MaxAgeHours set: every queued or held page accepted longer ago than that expires,
    // with the reason. Gives their entries, which the queue's owner removes from the file. A
    // page in a call is left to its call.
    QList<ReconcileReport::Removal> expire(const PagesSettings& settings);

    // Final pages that reached their state more than KeepDays ago, whose entries are out of the
    // queue file and whose notification is not still due, are removed with their history. Gives
    // how many.
    qint64 removeOld(const PagesSettings& settings);

private:
    PageDatabase& m_db;
    qint64 m_now;
};
