#pragma once

#include "foundation/tinifile.h"

#include <QByteArray>
#include <QList>
#include <QString>

class IniSnapshot;

// The shared group file: one section per group whose keys "User0", "User1", ... hold the
// members' user names. Every call goes to the file.
class SharedGroupFile final
{
public:
    // The file's name in the data folder until the operator names another.
    static inline const QString DefaultFileName = QStringLiteral("sGroup.Dat");

    explicit SharedGroupFile(const QString& path);

    const QString& filePath() const { return m_file.FileName(); }

    // The group names in file order; none without a file.
    QList<QByteArray> names() const;

    // The values of the group's keys in file order (empty values left out), every one of them
    // however long the section: the group dialog writes back what it read, so a member left
    // out here would be lost. Nothing for an empty name, a missing file or a missing section.
    QList<QByteArray> members(const QByteArray& name) const;
    // The members from the file's content read once: the values of every key of the section
    // (each key once, empty values left out), in file order and not bound by the key list.
    static QList<QByteArray> membersIn(const IniSnapshot& file, const QByteArray& name);

    // Replaces the group's section with "User0", "User1", ... holding the members in their
    // order, with one write of the file: a failed write (EIniFileError) leaves the old group
    // whole. A name that would not read back as itself or a member that does not fit on its
    // line raises EZelkorError and writes nothing.
    void write(const QByteArray& name, const QList<QByteArray>& members);
    void remove(const QByteArray& name);

private:
    TIniFile m_file;
};
