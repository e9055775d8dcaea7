#include "foundation/tinifile.h"

#include "foundation/convert.h"
#include "foundation/errors.h"
#include "foundation/filestore.h"

#include <QFile>
#include <QHash>
#include <QSet>

namespace {

// Value buffer of the platform: 1024 bytes including the terminating zero.
constexpr qsizetype MaxValueLength = 1023;
// Key list buffer: 8192 bytes, of which the list's final two zeros take two.
constexpr qsizetype KeyListCapacity = 8192 - 2;

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A name as sameName() compares it (ASCII letters fold), for hashing.
QByteArray folded(const QByteArray& name)
{
    return name.toLower();
}

// The section name of a header line "[name]", or nothing for any other line.
std::optional<QByteArray> headerName(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.size() < 2 || !trimmed.startsWith('[') || !trimmed.endsWith(']'))
        return std::nullopt;
    return trimmed.mid(1, trimmed.size() - 2).trimmed();
}

// The key of an entry line, or nothing for a line without "=".
std::optional<QByteArray> entryKey(const QByteArray& line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

// Everything after the first "=" of an entry line.
QByteArray valueOf(const QByteArray& line)
{
    return line.mid(line.indexOf('=') + 1);
}

// Line range [begin, end) of a section's body; begin is the line after its header.
struct SectionRange
{
    qsizetype header = -1;
    qsizetype begin = -1;
    qsizetype end = -1;
    bool found() const { return header >= 0; }
};

SectionRange findSection(const QList<QByteArray>& lines, const QByteArray& section)
{
    SectionRange range;
    const QByteArray wanted = section.trimmed();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = headerName(lines[i]);
        if (!name)
            continue;
        if (range.found()) {
            range.end = i;
            return range;
        }
        if (sameName(*name, wanted)) {
            range.header = i;
            range.begin = i + 1;
        }
    }
    if (range.found())
        range.end = lines.size();
    return range;
}

qsizetype findKey(const QList<QByteArray>& lines, const SectionRange& range, const QByteArray& key)
{
    const QByteArray wanted = key.trimmed();
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto name = entryKey(lines[i]);
        if (name && sameName(*name, wanted))
            return i;
    }
    return -1;
}

// The section's key names in file order, as spelled in the file, within the platform's key
// list buffer: each name takes its length and a zero; one cut by the end of the buffer comes
// back shortened, the rest are left out.
QList<QByteArray> keyList(const QList<QByteArray>& lines, const SectionRange& range)
{
    QList<QByteArray> keys;
    qsizetype used = 0;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto name = entryKey(lines[i]);
        if (!name || name->isEmpty())
            continue;
        if (used >= KeyListCapacity)
            break;
        keys.append(name->left(KeyListCapacity - used));
        used += name->size() + 1;
    }
    return keys;
}

// The value of the first entry of every key in the section, by folded key.
QHash<QByteArray, QByteArray> firstValues(const QList<QByteArray>& lines, const SectionRange& range)
{
    QHash<QByteArray, QByteArray> values;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto name = entryKey(lines[i]);
        if (name && !values.contains(folded(*name)))
            values.insert(folded(*name), valueOf(lines[i]));
    }
    return values;
}

} // namespace

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}

QList<QByteArray> TIniFile::readFile() const
{
    return FileStore::readLines(m_fileName);
}

void TIniFile::writeFile(const QList<QByteArray>& lines)
{
    if (!FileStore::writeAtomically(m_fileName, FileStore::joinCrLf(lines)))
        throw EIniFileError("Unable to write to " + m_fileName.toLocal8Bit());
}

QByteArray TIniFile::ReadText(const QByteArray& section, const QByteArray& key,
                              const QByteArray& defaultValue) const
{
    const QList<QByteArray> lines = readFile();
    const SectionRange range = findSection(lines, section);
    if (!range.found())
        return defaultValue;
    const qsizetype at = findKey(lines, range, key);
    if (at < 0)
        return defaultValue;
    return valueOf(lines[at]).left(MaxValueLength);
}

void TIniFile::WriteText(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    QList<QByteArray> lines = readFile();
    applyWrite(lines, section, key, value);
    writeFile(lines);
}

void TIniFile::WriteTexts(const QByteArray& section,
                          const QList<std::pair<QByteArray, QByteArray>>& entries)
{
    QList<QByteArray> lines = readFile();
    for (const auto& [key, value] : entries)
        applyWrite(lines, section, key, value);
    writeFile(lines);
}

void TIniFile::applyWrite(QList<QByteArray>& lines, const QByteArray& section,
                          const QByteArray& key, const QByteArray& value)
{
    const SectionRange range = findSection(lines, section);
    if (!range.found()) {
        lines.append('[' + section + ']');
        lines.append(key + '=' + value);
        return;
    }
    const qsizetype at = findKey(lines, range, key);
    if (at >= 0) {
        // Keep the key as the file spells it; only the value changes, in place.
        lines[at] = *entryKey(lines[at]) + '=' + value;
        return;
    }
    // After the last line of the section that carries something, so blank lines that separate
    // it from the next section stay between them.
    qsizetype insertAt = range.begin;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    lines.insert(insertAt, key + '=' + value);
}

qint32 TIniFile::ReadNumber(const QByteArray& section, const QByteArray& key,
                            qint32 defaultValue) const
{
    QByteArray text = ReadText(section, key, QByteArray());
    if (text.size() > 2 && (text.startsWith("0x") || text.startsWith("0X")))
        text = '$' + text.mid(2);
    return tryStrToInt(text).value_or(defaultValue);
}

void TIniFile::WriteNumber(const QByteArray& section, const QByteArray& key, qint32 value)
{
    WriteText(section, key, QByteArray::number(value));
}

void TIniFile::ReadKeys(const QByteArray& section, QList<QByteArray>& keys) const
{
    keys.clear();
    const QList<QByteArray> lines = readFile();
    const SectionRange range = findSection(lines, section);
    if (range.found())
        keys = keyList(lines, range);
}

void TIniFile::ReadEntries(const QByteArray& section, QList<QByteArray>& entries) const
{
    // One read of the file: the key list and every value come from the same lines, so the
    // cost does not grow with the square of the section's size.
    const QList<QByteArray> lines = readFile();
    const SectionRange range = findSection(lines, section);
    if (!range.found())
        return;
    const QHash<QByteArray, QByteArray> values = firstValues(lines, range);

    // Where the caller's lines of each key are, in list order. A line's key is its part before
    // the first "=" (the whole line when it has none), compared as the reads compare keys.
    QHash<QByteArray, QList<qsizetype>> positions;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const qsizetype eq = entries[i].indexOf('=');
        positions[folded(eq < 0 ? entries[i] : entries[i].left(eq))].append(i);
    }
    QList<bool> removed(entries.size(), false);
    for (const QByteArray& key : keyList(lines, range)) {
        // As ReadText would look the key up: trimmed, its value cut to the value buffer.
        const QByteArray value = values.value(folded(key.trimmed())).left(MaxValueLength);
        QList<qsizetype>& at = positions[folded(key)];
        if (!value.isEmpty()) {
            if (!at.isEmpty()) {
                entries[at.first()] = key + '=' + value;
            } else {
                at.append(entries.size());
                entries.append(key + '=' + value);
                removed.append(false);
            }
        } else if (!at.isEmpty()) {
            removed[at.takeFirst()] = true;
        }
    }
    qsizetype kept = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!removed[i])
            entries[kept++] = entries[i];
    }
    entries.resize(kept);
}

QList<std::pair<QByteArray, QByteArray>> TIniFile::ReadSection(const QByteArray& section) const
{
    const QList<QByteArray> lines = readFile();
    const SectionRange range = findSection(lines, section);
    QList<std::pair<QByteArray, QByteArray>> result;
    if (!range.found())
        return result;
    QSet<QByteArray> seen;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto key = entryKey(lines[i]);
        if (!key || key->isEmpty() || seen.contains(folded(*key)))
            continue;
        seen.insert(folded(*key));
        result.append({*key, valueOf(lines[i]).left(MaxValueLength)});
    }
    return result;
}

void TIniFile::DeleteSection(const QByteArray& section)
{
    QList<QByteArray> lines = readFile();
    const SectionRange range = findSection(lines, section);
    if (!range.found())
        return;
    lines.remove(range.header, range.end - range.header);
    writeFile(lines);
}

void TIniFile::DeleteKey(const QByteArray& section, const QByteArray& key)
{
    QList<QByteArray> lines = readFile();
    const SectionRange range = findSection(lines, section);
    if (!range.found())
        return;
    const qsizetype at = findKey(lines, range, key);
    if (at < 0)
        return;
    lines.removeAt(at);
    writeFile(lines);
}

void ListSections(const QString& path, QList<QByteArray>& sections)
{
    if (!QFile::exists(path))
        return;
    for (QByteArray line : FileStore::readLines(path)) {
        if (!line.contains('[') || !line.contains(']'))
            continue;
        line.remove(line.indexOf('['), 1);
        line.remove(line.indexOf(']'), 1);
        sections.append(line);
    }
}
