#include "directories/groupmembers.h"

#include "directories/sharedgroupfile.h"
#include "directories/shareduserfile.h"

#include <algorithm>
#include <functional>

void GroupMembers::open(const QByteArray& name, const QString& userFile, const QString& groupFile)
{
    m_members = NameList(SharedGroupFile(groupFile).members(name));
    m_available = NameList(SharedUserFile(userFile).names());
}

void GroupMembers::add(QList<qsizetype> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    for (const qsizetype index : indexes) {
        if (!m_available.isValidIndex(index))
            continue;
        const QByteArray& user = m_available.at(index);
        if (!m_members.containsIgnoringCase(user))
            m_members.insert(user);
    }
}

void GroupMembers::remove(QList<qsizetype> indexes)
{
    // From the bottom, so the indexes still to go keep naming their entries.
    std::sort(indexes.begin(), indexes.end(), std::greater<>());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (const qsizetype index : indexes) {
        if (m_members.isValidIndex(index))
            m_members.removeAt(index);
    }
}
