#include "snpp/pagerdirectory.h"

#include "directories/companydirectory.h"
#include "directories/sharedgroupfile.h"
#include "directories/sharedpaths.h"
#include "directories/shareduserfile.h"
#include "foundation/inisnapshot.h"
#include "foundation/widgettext.h"

#include <utility>

PagerDirectory::PagerDirectory(QString userFile, QString groupFile, QString companyFolder)
    : m_users(std::move(userFile)), m_groups(std::move(groupFile)),
      m_companies(SharedPaths::providerFile(companyFolder))
{
}

PagerDirectory PagerDirectory::fromSettings(const QByteArray& userFile, const QByteArray& groupFile,
                                            const QString& dataDir)
{
    const QString users = WidgetText::fromFileName(userFile);
    return PagerDirectory(SharedPaths::resolve(users, dataDir),
                          SharedPaths::resolve(WidgetText::fromFileName(groupFile), dataDir),
                          SharedPaths::directoryOf(users, dataDir));
}

std::optional<PagingCompany> PagerDirectory::company(Lists& lists, const QByteArray& name)
{
    if (name.isEmpty())
        return std::nullopt;
    // By the name as the user list spells it: the company keeps that spelling as its name.
    const auto known = lists.found.constFind(name);
    if (known != lists.found.cend())
        return *known;
    std::optional<PagingCompany> found = CompanyDirectory::findIn(lists.companies, name);
    if (found)
        found = found->normalised();
    lists.found.insert(name, found);
    return found;
}

std::optional<PagerTarget> PagerDirectory::user(Lists& lists, const QByteArray& name,
                                                QByteArray& failure)
{
    const std::optional<SharedUser> found = SharedUserFile::findIn(lists.users, name);
    if (!found) {
        failure = "Unknown User " + name;
        return std::nullopt;
    }
    if (found->PIN.isEmpty()) {
        failure = "No PIN For " + name;
        return std::nullopt;
    }
    const std::optional<PagingCompany> provider = company(lists, found->Provider);
    if (!provider) {
        failure = "No Paging Company For " + name;
        return std::nullopt;
    }
    return PagerTarget{found->PIN, *provider};
}

PagerLookup PagerDirectory::resolve(const QByteArray& pagerId) const
{
    PagerLookup lookup;
    if (pagerId.isEmpty())
        return lookup;
    Lists lists{m_users.current(), m_groups.current(), m_companies.current(), {}};
    if (lists.users.listed(pagerId)) {
        QByteArray failure;
        if (const std::optional<PagerTarget> target = user(lists, pagerId, failure))
            lookup.targets.append(*target);
        else
            lookup.failure = failure;
        return lookup;
    }

    if (lists.groups.listed(pagerId)) {
        const QList<QByteArray> members = SharedGroupFile::membersIn(lists.groups, pagerId);
        lookup.targets.reserve(members.size());
        for (const QByteArray& member : members) {
            QByteArray failure;
            const std::optional<PagerTarget> target = user(lists, member, failure);
            if (!target) {
                // A group is paged whole or not at all: a member the user list no longer
                // holds would silently go without the page.
                lookup.targets.clear();
                lookup.failure = "Group " + pagerId + ": " + failure;
                return lookup;
            }
            lookup.targets.append(*target);
        }
        if (lookup.targets.isEmpty())
            lookup.failure = "Group " + pagerId + " Has No Members";
        return lookup;
    }

    // PIN@Company: a pager that is in no list.
    const qsizetype at = pagerId.indexOf('@');
    if (at > 0) {
        const QByteArray name = pagerId.mid(at + 1);
        if (const std::optional<PagingCompany> provider = company(lists, name)) {
            lookup.targets.append({pagerId.left(at), *provider});
            return lookup;
        }
        lookup.failure = "Unknown Paging Company " + name;
        return lookup;
    }
    return lookup;
}
