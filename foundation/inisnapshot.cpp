#include "foundation/inisnapshot.h"

#include "foundation/convert.h"
#include "foundation/filestore.h"
#include "foundation/inilines.h"

#include <QFile>

namespace {

// The store's reads give at most 1023 characters of a value (the platform's value buffer).
constexpr qsizetype MaxValueLength = 1023;

QByteArray valueText(QByteArrayView line)
{
    const QByteArrayView value = IniLines::valueOf(line);
    return value.first(qMin(value.size(), MaxValueLength)).toByteArray();
}

// The name the line scan takes from a line holding "[" and "]": the line without its first
// "[" and then without its first "]".
QByteArray listedName(QByteArrayView view)
{
    QByteArray line = view.toByteArray();
    line.remove(line.indexOf('['), 1);
    line.remove(line.indexOf(']'), 1);
    return line;
}

} // namespace

IniSnapshot IniSnapshot::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromBytes(file.readAll());
}

IniSnapshot IniSnapshot::fromBytes(const QByteArray& bytes)
{
    IniSnapshot snapshot;
    // The section the entry lines belong to; none before the first header and in a later
    // section of a name that came before (the first one of a name is the one that counts).
    std::optional<QByteArray> current;
    for (const QByteArrayView line : FileStore::splitLineViews(bytes)) {
        if (line.contains('[') && line.contains(']'))
            snapshot.m_listed.insert(IniLines::folded(listedName(line)));
        if (const auto header = IniLines::headerName(line)) {
            const QByteArray name = IniLines::folded(*header);
            current.reset();
            if (!snapshot.m_sections.contains(name)) {
                snapshot.m_sections.insert(name, {});
                current = name;
            }
            continue;
        }
        const auto key = IniLines::entryKey(line);
        if (!current || !key)
            continue;
        Section& section = snapshot.m_sections[*current];
        const QByteArray folded = IniLines::folded(*key);
        if (section.values.contains(folded))
            continue;
        const QByteArray value = valueText(line);
        section.values.insert(folded, value);
        if (!key->isEmpty())
            section.entries.append({key->toByteArray(), value});
    }
    return snapshot;
}

bool IniSnapshot::listed(const QByteArray& name) const
{
    return m_listed.contains(IniLines::folded(name));
}

QByteArray IniSnapshot::text(const QByteArray& section, const QByteArray& key,
                             const QByteArray& defaultValue) const
{
    const auto found = m_sections.constFind(IniLines::folded(QByteArrayView(section).trimmed()));
    if (found == m_sections.cend())
        return defaultValue;
    return found->values.value(IniLines::folded(QByteArrayView(key).trimmed()), defaultValue);
}

qint32 IniSnapshot::number(const QByteArray& section, const QByteArray& key,
                           qint32 defaultValue) const
{
    QByteArray value = text(section, key, QByteArray());
    if (value.size() > 2 && (value.startsWith("0x") || value.startsWith("0X")))
        value = '$' + value.mid(2);
    return tryStrToInt(value).value_or(defaultValue);
}

QList<std::pair<QByteArray, QByteArray>> IniSnapshot::entries(const QByteArray& section) const
{
    return m_sections.value(IniLines::folded(QByteArrayView(section).trimmed())).entries;
}
