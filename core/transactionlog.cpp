#include "core/transactionlog.h"

#include "foundation/datetimetext.h"
#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/widgettext.h"

#include <QFile>

namespace TransactionLog {

namespace {
QString logPath(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}
} // namespace

QByteArray formatLine(const QDateTime& when, const QByteArray& text)
{
    return WidgetText::toBytes(DateTimeText::format(when)) + " - " + text + "\r\n";
}

void append(const QString& dataDir, const QByteArray& text, const QDateTime& when)
{
    const QString path = logPath(dataDir);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw EZelkorError("I/O error: cannot open " + WidgetText::toBytes(path) + " (" +
                           WidgetText::toBytes(file.errorString()) + ")");
    const QByteArray line = formatLine(when, text);
    const bool written = file.write(line) == line.size() && file.flush();
    file.close();
    if (!written)
        throw EZelkorError("I/O error: cannot write " + WidgetText::toBytes(path));
}

QList<QByteArray> readLines(const QString& dataDir)
{
    return FileStore::readLines(logPath(dataDir));
}

bool remove(const QString& dataDir)
{
    const QString path = logPath(dataDir);
    QFile::remove(path);
    return !QFile::exists(path);
}

void saveCopy(const QString& path, const QList<QByteArray>& lines)
{
    if (!FileStore::writeAtomically(path, FileStore::joinCrLf(lines)))
        throw EZelkorError("Cannot create file \"" + WidgetText::toBytes(path) + "\"");
}

} // namespace TransactionLog
