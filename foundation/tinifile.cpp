#include "foundation/tinifile.h"

#include "foundation/convert.h"
#include "foundation/errors.h"
#include "foundation/inilines.h"
#include "foundation/widgettext.h"

#include <QFile>
#include <QHash>
#include <QSet>

namespace {

// Value buffer of the platform: 1024 bytes including the terminating zero.
constexpr qsizetype MaxValueLength = 1023;
// Key list buffer: 8192 bytes, of which the list's final two zeros take two.
constexpr qsizetype KeyListCapacity = 8192 - 2;

// The value of an entry line as a read gives it: cut to the value buffer.
QByteArray valueText(QByteArrayView line)
{
    const QByteArrayView value = IniLines::valueOf(line);
    return value.first(qMin(value.size(), MaxValueLength)).toByteArray();
}

// The section's key names in file order, as spelled in the file, within the platform's key
// list buffer: each name takes its length and a zero; one cut by the end of the buffer comes
// back shortened, the rest are left out.
QList<QByteArray> keyList(const IniLines& file, const IniLines::Range& range)
{
    QList<QByteArray> keys;
    qsizetype used = 0;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto name = IniLines::entryKey(file.lines()[i]);
        if (!name || name->isEmpty())
            continue;
        if (used >= KeyListCapacity)
            break;
        keys.append(name->first(qMin(name->size(), KeyListCapacity - used)).toByteArray());
        used += name->size() + 1;
    }
    return keys;
}

// The line of the first entry of every key in the section, by folded key.
QHash<QByteArray, QByteArrayView> firstEntries(const IniLines& file, const IniLines::Range& range)
{
    QHash<QByteArray, QByteArrayView> entries;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto name = IniLines::entryKey(file.lines()[i]);
        if (!name)
            continue;
        const QByteArray key = IniLines::folded(*name);
        if (!entries.contains(key))
            entries.insert(key, file.lines()[i]);
    }
    return entries;
}

void applyWrite(IniLines& file, const QByteArray& section, const QByteArray& key,
                const QByteArray& value)
{
    const IniLines::Range range = file.findSection(section);
    if (!range.found()) {
        file.append('[' + section + ']');
        file.append(key + '=' + value);
        return;
    }
    const qsizetype at = file.findKey(range, key);
    if (at >= 0) {
        // Keep the key as the file spells it; only the value changes, in place.
        file.replace(at, IniLines::entryKey(file.lines()[at])->toByteArray() + '=' + value);
        return;
    }
    // After the last line of the section that carries something, so blank lines that separate
    // it from the next section stay between them.
    qsizetype insertAt = range.begin;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        if (!file.lines()[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    file.insert(insertAt, key + '=' + value);
}

} // namespace

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}

void TIniFile::writeFile(const IniLines& file)
{
    if (!file.write(m_fileName))
        throw EIniFileError("Unable to write to " + WidgetText::toBytes(m_fileName));
}

QByteArray TIniFile::ReadText(const QByteArray& section, const QByteArray& key,
                              const QByteArray& defaultValue) const
{
    const IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    if (!range.found())
        return defaultValue;
    const qsizetype at = file.findKey(range, key);
    if (at < 0)
        return defaultValue;
    return valueText(file.lines()[at]);
}

void TIniFile::WriteText(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    IniLines file = IniLines::read(m_fileName);
    applyWrite(file, section, key, value);
    writeFile(file);
}

void TIniFile::WriteTexts(const QByteArray& section,
                          const QList<std::pair<QByteArray, QByteArray>>& entries)
{
    IniLines file = IniLines::read(m_fileName);
    for (const auto& [key, value] : entries)
        applyWrite(file, section, key, value);
    writeFile(file);
}

void TIniFile::WriteEntries(const QList<Entry>& entries)
{
    IniLines file = IniLines::read(m_fileName);
    for (const Entry& entry : entries)
        applyWrite(file, entry.section, entry.key, entry.value);
    writeFile(file);
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
    const IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    if (range.found())
        keys = keyList(file, range);
}

void TIniFile::ReadEntries(const QByteArray& section, QList<QByteArray>& entries) const
{
    // One read of the file: the key list and every value come from the same lines, so the
    // cost does not grow with the square of the section's size.
    const IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    if (!range.found())
        return;
    const QHash<QByteArray, QByteArrayView> lines = firstEntries(file, range);

    // Where the caller's lines of each key are, in list order. A line's key is its part before
    // the first "=" (the whole line when it has none), compared as the reads compare keys.
    QHash<QByteArray, QList<qsizetype>> positions;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const qsizetype eq = entries[i].indexOf('=');
        positions[IniLines::folded(
                      QByteArrayView(entries[i]).first(eq < 0 ? entries[i].size() : eq))]
            .append(i);
    }
    QList<bool> removed(entries.size(), false);
    for (const QByteArray& key : keyList(file, range)) {
        // As ReadText would look the key up: trimmed, its value cut to the value buffer.
        const auto line = lines.constFind(IniLines::folded(QByteArrayView(key).trimmed()));
        const QByteArray value = line == lines.cend() ? QByteArray() : valueText(*line);
        QList<qsizetype>& at = positions[IniLines::folded(key)];
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
    const IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    QList<std::pair<QByteArray, QByteArray>> result;
    if (!range.found())
        return result;
    QSet<QByteArray> seen;
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto key = IniLines::entryKey(file.lines()[i]);
        if (!key || key->isEmpty())
            continue;
        const QByteArray folded = IniLines::folded(*key);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        result.append({key->toByteArray(), valueText(file.lines()[i])});
    }
    return result;
}

void TIniFile::DeleteSection(const QByteArray& section)
{
    IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    if (!range.found())
        return;
    file.remove(range.header, range.end - range.header);
    writeFile(file);
}

void TIniFile::ReplaceSection(const QByteArray& section,
                              const QList<std::pair<QByteArray, QByteArray>>& entries)
{
    IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    if (!range.found() && entries.isEmpty())
        return;
    if (range.found())
        file.remove(range.header, range.end - range.header);
    for (const auto& [key, value] : entries)
        applyWrite(file, section, key, value);
    writeFile(file);
}

bool TIniFile::DeleteKey(const QByteArray& section, const QByteArray& key,
                         const std::optional<QByteArray>& onlyValue)
{
    IniLines file = IniLines::read(m_fileName);
    const IniLines::Range range = file.findSection(section);
    if (!range.found())
        return false;
    const qsizetype at = file.findKey(range, key);
    if (at < 0 || (onlyValue && valueText(file.lines()[at]) != *onlyValue))
        return false;
    file.remove(at);
    writeFile(file);
    return true;
}

void ListSections(const QString& path, QList<QByteArray>& sections)
{
    if (!QFile::exists(path))
        return;
    const IniLines file = IniLines::read(path);
    for (const QByteArrayView view : file.lines()) {
        if (!view.contains('[') || !view.contains(']'))
            continue;
        QByteArray line = view.toByteArray();
        line.remove(line.indexOf('['), 1);
        line.remove(line.indexOf(']'), 1);
        sections.append(line);
    }
}
