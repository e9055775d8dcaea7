#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <utility>

// A section/key file read once and kept as it was then. It answers as TIniFile's reads and the
// line scan ListSections answer for that content, without going to the file again: for readers
// that look up many names in one go (a group of thousands of members, each a user with a
// company), which would otherwise read the file once for every name.
class IniSnapshot final
{
public:
    // As a missing file: nothing listed, every read its default.
    IniSnapshot() = default;

    // The file as it is now; a missing or unreadable file reads as empty.
    static IniSnapshot read(const QString& path);
    static IniSnapshot fromBytes(const QByteArray& bytes);

    // ListSections would list `name`, compared without regard to letter case.
    bool listed(const QByteArray& name) const;
    // As TIniFile::ReadText.
    QByteArray text(const QByteArray& section, const QByteArray& key,
                    const QByteArray& defaultValue) const;
    // As TIniFile::ReadNumber.
    qint32 number(const QByteArray& section, const QByteArray& key, qint32 defaultValue) const;
    // As TIniFile::ReadSection: every key once, with its first value, in file order.
    QList<std::pair<QByteArray, QByteArray>> entries(const QByteArray& section) const;

private:
    struct Section
    {
        // Keys that have a name, each once, in file order.
        QList<std::pair<QByteArray, QByteArray>> entries;
        // The first value of every key, by folded key.
        QHash<QByteArray, QByteArray> values;
    };

    // Folded names of the lines the line scan takes for sections.
    QSet<QByteArray> m_listed;
    // The first section of every name, by folded name.
    QHash<QByteArray, Section> m_sections;
};
