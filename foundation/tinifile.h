#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

class IniLines;

// The section/key text store behind the queue, the company directory, the modem types and the
// shared lists. Every call goes to the file: nothing is cached, so several stores on one file
// and plain line readers always see each other's changes in call order. Sections and keys match
// without regard to letter case; lines end in CR LF. Writes replace the file atomically and
// raise EIniFileError "Unable to write to <path>" when that fails.
class TIniFile final
{
public:
    explicit TIniFile(QString fileName);

    const QString& FileName() const { return m_fileName; }

    // At most 1023 characters of a value come back; an entry with nothing after its "=" reads
    // as the empty text, a missing file, section or key as the default.
    QByteArray ReadText(const QByteArray& section, const QByteArray& key,
                        const QByteArray& defaultValue) const;
    void WriteText(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    // The same as WriteText for each entry in order, with one read and one write of the file:
    // the entries land together or, when the write fails, not at all.
    void WriteTexts(const QByteArray& section,
                    const QList<std::pair<QByteArray, QByteArray>>& entries);
    struct Entry
    {
        QByteArray section;
        QByteArray key;
        QByteArray value;

        bool operator==(const Entry&) const = default;
    };
    // The same as WriteText for each entry in order, whatever its section, with one read and
    // one write of the file: all of them land or, when the write fails, none.
    void WriteEntries(const QList<Entry>& entries);
    // Decimal with an optional sign, or "$"/"0x" and hexadecimal digits; anything else
    // (the empty text of a missing key included) gives the default.
    qint32 ReadNumber(const QByteArray& section, const QByteArray& key, qint32 defaultValue) const;
    void WriteNumber(const QByteArray& section, const QByteArray& key, qint32 value);
    // Clears the list, then fills it with the section's key names in file order, as spelled in
    // the file, within the platform's 8192-byte key list.
    void ReadKeys(const QByteArray& section, QList<QByteArray>& keys) const;
    // Merges key=value lines of the section into the list without clearing it: an existing
    // line of the same key is replaced in place, an empty value removes it. The keys are those
    // ReadKeys gives, the values those ReadText gives; the file is read once.
    void ReadEntries(const QByteArray& section, QList<QByteArray>& entries) const;
    // Every key of the section with its value as ReadText reads it (the first entry of a key
    // that appears twice), in file order and from one read of the file. Unlike ReadKeys it is
    // not bound by the key list buffer. A missing file or section gives nothing.
    QList<std::pair<QByteArray, QByteArray>> ReadSection(const QByteArray& section) const;
    // Removes the header and entries of the section; a missing section is not an error.
    void DeleteSection(const QByteArray& section);
    // DeleteSection followed by WriteTexts of the entries, with one read and one write of the
    // file: the section ends up at the end of the file holding exactly these entries, or, when
    // the write fails, the old section stays whole.
    void ReplaceSection(const QByteArray& section,
                        const QList<std::pair<QByteArray, QByteArray>>& entries);
    // Removes the key's entry line, with `onlyValue` only while the key reads back as that
    // value (one read of the file for both). True when it was removed; a missing section or
    // key (or another value) is not an error and writes nothing.
    bool DeleteKey(const QByteArray& section, const QByteArray& key,
                   const std::optional<QByteArray>& onlyValue = std::nullopt);

private:
    void writeFile(const IniLines& file);

    QString m_fileName;
};

// Appends the names of every line holding both "[" and "]" (the first of each removed), in
// file order, duplicates included. A missing file gives no names.
void ListSections(const QString& path, QList<QByteArray>& sections);
