#include "core/ipmatch.h"

#include <array>

namespace {

using Parts = std::array<QByteArray, 4>;

// Four parts at ".": each runs to the next "." or to the end; a part past the end is "*";
// anything after the fourth part is ignored.
Parts splitParts(QByteArray text)
{
    Parts parts;
    for (QByteArray& part : parts) {
        if (text.isEmpty()) {
            part = "*";
            continue;
        }
        const qsizetype dot = text.indexOf('.');
        if (dot < 0) {
            part = text;
            text.clear();
        } else {
            part = text.left(dot);
            text.remove(0, dot + 1);
        }
    }
    return parts;
}

bool entryMatches(const QByteArray& entry, const Parts& address)
{
    const Parts pattern = splitParts(entry);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != "*" && pattern[i] != address[i])
            return false;
    }
    return true;
}

} // namespace

bool MatchIPList(const QByteArray& address, const QByteArray& list)
{
    if (list.isEmpty() || address.isEmpty())
        return false;
    const Parts addressParts = splitParts(address);
    QByteArray rest = list;
    // A trailing blank ends the list; it does not add an empty entry.
    while (!rest.isEmpty()) {
        const qsizetype blank = rest.indexOf(' ');
        QByteArray entry;
        if (blank < 0) {
            entry = rest;
            rest.clear();
        } else {
            entry = rest.left(blank);
            rest.remove(0, blank + 1);
        }
        if (entryMatches(entry, addressParts))
            return true;
    }
    return false;
}

bool AddressAdmitted(const QByteArray& address, const QByteArray& ipAccept,
                     const QByteArray& ipDeny)
{
    return MatchIPList(address, ipAccept) || !MatchIPList(address, ipDeny);
}
