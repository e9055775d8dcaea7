#pragma once

#include "directories/pagingcompany.h"

#include <QByteArray>
#include <QList>

// One pager that a pager ID stands for: its PIN and the paging company that reaches it.
struct PagerTarget
{
    QByteArray pin;
    PagingCompany company;

    bool operator==(const PagerTarget&) const = default;
};

// What a pager ID resolved to: its pagers, or none and, where there is more to say than that
// the ID is unknown, why.
struct PagerLookup
{
    QList<PagerTarget> targets;
    QByteArray failure;

    bool found() const { return !targets.isEmpty(); }
};

// The address book of the gateway: turns a pager ID into the pagers it names.
class IPagerDirectory
{
public:
    virtual ~IPagerDirectory() = default;

    virtual PagerLookup resolve(const QByteArray& pagerId) const = 0;
};
