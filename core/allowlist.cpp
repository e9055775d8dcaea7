#include "core/allowlist.h"

#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/widgettext.h"

namespace AllowList {

QByteArray normalizeNumber(const QByteArray& argument)
{
    QByteArray number;
    number.reserve(argument.size());
    for (const char c : argument) {
        if (c != ' ' && c != '-' && c != '(' && c != ')')
            number += c;
    }
    return number;
}

bool allows(const QList<QByteArray>& lines, const QByteArray& argument)
{
    const QByteArray number = normalizeNumber(argument);
    for (const QByteArray& line : lines) {
        if (number.size() >= line.size() &&
            number.left(line.size()).compare(line, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString filePath(const QString& dataDir, const QString& name)
{
    return FileStore::pathIgnoringCase(dataDir, name);
}

QList<QByteArray> load(const QString& dataDir)
{
    return FileStore::readLines(filePath(dataDir));
}

Reading read(const QString& dataDir)
{
    const FileStore::FileBytes file = FileStore::readFile(filePath(dataDir));
    return {file.status, FileStore::splitLines(file.bytes), file.error};
}

void save(const QString& dataDir, const QList<QByteArray>& lines)
{
    const QString path = filePath(dataDir, NewFileName);
    if (!FileStore::writeAtomically(path, FileStore::joinCrLf(lines)))
        throw EZelkorError("Cannot create file \"" + WidgetText::toBytes(path) + "\"");
}

} // namespace AllowList
