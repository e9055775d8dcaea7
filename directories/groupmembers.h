#pragma once

#include "directories/namelist.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The two lists of the group dialog: the users available from the shared user file and the
// members of the group, both sorted. A user joins a group once, whatever the letter case of
// the entry chosen.
class GroupMembers final
{
public:
    // The members of the group `name` in the group file and the users of the user file; a
    // missing file, section or name gives an empty list.
    void open(const QByteArray& name, const QString& userFile, const QString& groupFile);

    const NameList& available() const { return m_available; }
    const NameList& members() const { return m_members; }

    // Adds the available users at `indexes`, from the top, except those already members.
    void add(QList<qsizetype> indexes);
    // Removes the members at `indexes`.
    void remove(QList<qsizetype> indexes);
    void clear() { m_members.clear(); }

private:
    NameList m_available;
    NameList m_members;
};
