#pragma once

#include "snpp/ipagerdirectory.h"

#include <QString>

#include <optional>

// The shared lists as the gateway's address book. A pager ID names, without regard to letter
// case, a shared user (its PIN and its paging company), a shared group (each member user), or
// a PIN and a company name joined by "@". Every lookup reads the files, so the operator's
// changes count from the next PAGE on. A company's settings are taken as its dialog shows them.
class PagerDirectory final : public IPagerDirectory
{
public:
    // The shared user file, the shared group file and the folder of Provider.dat.
    PagerDirectory(QString userFile, QString groupFile, QString companyFolder);

    // The files the server's settings name: relative paths are taken from the data folder, and
    // Provider.dat lies beside the shared user file.
    static PagerDirectory fromSettings(const QByteArray& userFile, const QByteArray& groupFile,
                                       const QString& dataDir);

    PagerLookup resolve(const QByteArray& pagerId) const override;

private:
    // The user's pager, or nothing with the short reason in `failure`.
    std::optional<PagerTarget> user(const QByteArray& name, QByteArray& failure) const;
    std::optional<PagingCompany> company(const QByteArray& name) const;

    QString m_userFile;
    QString m_groupFile;
    QString m_companyFolder;
};
