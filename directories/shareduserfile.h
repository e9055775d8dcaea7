#pragma once

#include "foundation/tinifile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class IniSnapshot;

// A user of the shared user list: the pager's PIN and the paging company (its name in
// Provider.dat) through which the pager is reached.
struct SharedUser
{
    QByteArray Name;
    QByteArray PIN;
    QByteArray Provider;

    bool operator==(const SharedUser&) const = default;
};

// The shared user file: one section per user holding "PIN" and "PROVIDER". Every call goes to
// the file.
class SharedUserFile final
{
public:
    // The file's name in the data folder until the operator names another.
    static inline const QString DefaultFileName = QStringLiteral("sUser.Dat");

    explicit SharedUserFile(const QString& path);

    const QString& filePath() const { return m_file.FileName(); }

    // The user names in file order; none without a file.
    QList<QByteArray> names() const;
    bool contains(const QByteArray& name) const;

    // The stored PIN and provider; empty where a key is missing.
    SharedUser read(const QByteArray& name) const;
    // The user, or nothing when the file does not list it.
    std::optional<SharedUser> find(const QByteArray& name) const;
    // The same from the file's content read once, for many lookups in a row.
    static std::optional<SharedUser> findIn(const IniSnapshot& file, const QByteArray& name);

    // Writes "PIN" and then "PROVIDER" with one write of the file. A name that would not read
    // back as itself or a value that does not fit on its line raises EZelkorError and writes
    // nothing; a failed write raises EIniFileError.
    void write(const SharedUser& user);
    void remove(const QByteArray& name);

private:
    TIniFile m_file;
};
