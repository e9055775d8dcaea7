#include "snpp/pagerdirectory.h"

#include "directories/companydirectory.h"
#include "directories/sectionname.h"
#include "directories/sharedgroupfile.h"
#include "directories/sharedpaths.h"
#include "directories/shareduserfile.h"
#include "foundation/widgettext.h"

#include <utility>

PagerDirectory::PagerDirectory(QString userFile, QString groupFile, QString companyFolder)
    : m_userFile(std::move(userFile)), m_groupFile(std::move(groupFile)),
      m_companyFolder(std::move(companyFolder))
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

std::optional<PagingCompany> PagerDirectory::company(const QByteArray& name) const
{
    if (name.isEmpty())
        return std::nullopt;
    const std::optional<PagingCompany> found = CompanyDirectory(m_companyFolder).find(name);
    if (!found)
        return std::nullopt;
    return found->normalised();
}

std::optional<PagerTarget> PagerDirectory::user(const QByteArray& name, QByteArray& failure) const
{
    const std::optional<SharedUser> found = SharedUserFile(m_userFile).find(name);
    if (!found) {
        failure = "Unknown User " + name;
        return std::nullopt;
    }
    if (found->PIN.isEmpty()) {
        failure = "No PIN For " + name;
        return std::nullopt;
    }
    const std::optional<PagingCompany> provider = company(found->Provider);
    if (!provider) {
        failure = "No Paging Company For " + name;
        return std::nullopt;
    }
    return PagerTarget{found->PIN, *provider};
}

PagerLookup PagerDirectory::resolve(const QByteArray& pagerId) const
{
    PagerLookup lookup;
    if (pagerId.isEmpty()) {
        return lookup;
    }
    if (SharedUserFile(m_userFile).contains(pagerId)) {
        QByteArray failure;
        if (const std::optional<PagerTarget> target = user(pagerId, failure))
            lookup.targets.append(*target);
        else
            lookup.failure = failure;
        return lookup;
    }

    const SharedGroupFile groups(m_groupFile);
    for (const QByteArray& group : groups.names()) {
        if (!SectionName::same(group, pagerId))
            continue;
        const QList<QByteArray> members = groups.members(group);
        for (const QByteArray& member : members) {
            QByteArray failure;
            const std::optional<PagerTarget> target = user(member, failure);
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
        if (const std::optional<PagingCompany> provider = company(name)) {
            lookup.targets.append({pagerId.left(at), *provider});
            return lookup;
        }
        lookup.failure = "Unknown Paging Company " + name;
        return lookup;
    }
    return lookup;
}
