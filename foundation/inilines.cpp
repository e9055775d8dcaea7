#include "foundation/inilines.h"

#include "foundation/filestore.h"

#include <QFile>

IniLines IniLines::read(const QString& path)
{
    IniLines result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.m_bytes = file.readAll();
    result.m_lines = FileStore::splitLineViews(result.m_bytes);
    return result;
}

bool IniLines::write(const QString& path) const
{
    return FileStore::writeAtomically(path, FileStore::joinCrLf(m_lines));
}

IniLines::Range IniLines::findSection(QByteArrayView section) const
{
    Range range;
    const QByteArrayView wanted = section.trimmed();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = headerName(m_lines[i]);
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
        range.end = m_lines.size();
    return range;
}

qsizetype IniLines::findKey(const Range& range, QByteArrayView key) const
{
    const QByteArrayView wanted = key.trimmed();
    for (qsizetype i = range.begin; i < range.end; ++i) {
        const auto name = entryKey(m_lines[i]);
        if (name && sameName(*name, wanted))
            return i;
    }
    return -1;
}

bool IniLines::sameName(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray IniLines::folded(QByteArrayView name)
{
    return name.toByteArray().toLower();
}

std::optional<QByteArrayView> IniLines::headerName(QByteArrayView line)
{
    const QByteArrayView trimmed = line.trimmed();
    if (trimmed.size() < 2 || !trimmed.startsWith('[') || !trimmed.endsWith(']'))
        return std::nullopt;
    return trimmed.sliced(1, trimmed.size() - 2).trimmed();
}

std::optional<QByteArrayView> IniLines::entryKey(QByteArrayView line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return line.first(eq).trimmed();
}

QByteArrayView IniLines::valueOf(QByteArrayView line)
{
    return line.sliced(line.indexOf('=') + 1);
}

QByteArrayView IniLines::keep(QByteArray line)
{
    // The data of a QByteArray stays where it is when the list moves the object itself.
    m_owned.append(std::move(line));
    return m_owned.constLast();
}

void IniLines::append(QByteArray line)
{
    m_lines.append(keep(std::move(line)));
}

void IniLines::insert(qsizetype at, QByteArray line)
{
    m_lines.insert(at, keep(std::move(line)));
}

void IniLines::replace(qsizetype at, QByteArray line)
{
    m_lines[at] = keep(std::move(line));
}

void IniLines::remove(qsizetype at, qsizetype count)
{
    m_lines.remove(at, count);
}
