#include "foundation/filestore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace FileStore {

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // A rename is the whole point; never fall back to writing the target in place.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QList<QByteArrayView> splitLineViews(const QByteArray& text)
{
    QList<QByteArrayView> lines;
    const QByteArrayView all(text);
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const char c = all[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(all.sliced(start, i - start));
        if (c == '\r' && i + 1 < all.size() && all[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < all.size())
        lines.append(all.sliced(start));
    return lines;
}

QList<QByteArray> splitLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    for (const QByteArrayView line : splitLineViews(text))
        lines.append(line.toByteArray());
    return lines;
}

QList<QByteArray> readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return splitLines(file.readAll());
}

QByteArray joinCrLf(const QList<QByteArray>& lines)
{
    QByteArray text;
    for (const QByteArray& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

QByteArray joinCrLf(const QList<QByteArrayView>& lines)
{
    qsizetype size = 0;
    for (const QByteArrayView line : lines)
        size += line.size() + 2;
    QByteArray text;
    text.reserve(size);
    for (const QByteArrayView line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

QString pathIgnoringCase(const QString& dir, const QString& name)
{
    const QString exact = dir + QLatin1Char('/') + name;
    if (QFile::exists(exact))
        return exact;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir + QLatin1Char('/') + entry;
    }
    return exact;
}

QString directoryPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.left(slash);
}

} // namespace FileStore
