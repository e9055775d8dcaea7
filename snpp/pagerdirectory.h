#pragma once

#include "foundation/cachedinifile.h"
#include "snpp/ipagerdirectory.h"

#include <QHash>
#include <QString>

#include <optional>

class IniSnapshot;

// The shared lists as the gateway's address book. A pager ID names, without regard to letter
// case, a shared user (its PIN and its paging company), a shared group (each member user), or
// a PIN and a company name joined by "@". Lookups see the files as they are at that moment, so
// the operator's changes count from the next PAGE on; a file is read again only when it has
// changed, and a group is looked up member by member in the lists read once, so a large group
// costs in proportion to its size. A company's settings are taken as its dialog shows them.
class PagerDirectory final : public IPagerDirectory
{
public:
    // The shared user file, the shared group file and the folder of Provider.dat.
    PagerDirectory(QString userFile, QString groupFile, QString companyFolder);

    // The files the server's settings name: relative paths are taken from the data folder, and
    // Provider.dat lies beside the shared user file.
    static PagerDirectory fromSettings(const QByteArray& userFile, const QByteArray& groupFile,
                                       const QString& dataDir);

    const QString& userFile() const { return m_users.path(); }
    const QString& groupFile() const { return m_groups.path(); }

    PagerLookup resolve(const QByteArray& pagerId) const override;

private:
    // The lists as one lookup sees them, and the companies it has looked up so far (the
    // members of a group mostly share a few).
    struct Lists
    {
        const IniSnapshot& users;
        const IniSnapshot& groups;
        const IniSnapshot& companies;
        QHash<QByteArray, std::optional<PagingCompany>> found;
    };

    // The user's pager, or nothing with the short reason in `failure`.
    static std::optional<PagerTarget> user(Lists& lists, const QByteArray& name,
                                           QByteArray& failure);
    static std::optional<PagingCompany> company(Lists& lists, const QByteArray& name);

    mutable CachedIniFile m_users;
    mutable CachedIniFile m_groups;
    mutable CachedIniFile m_companies;
};
