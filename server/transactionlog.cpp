#include "server/transactionlog.h"

#include "foundation/datetimetext.h"
#include "foundation/errors.h"

#include <QFile>

namespace TransactionLog {

QByteArray formatLine(const QDateTime& when, const QByteArray& text)
{
    const QString stamp = when.time().toString(QStringLiteral("HH:mm:ss")) ==
                                  QStringLiteral("00:00:00")
                              ? DateTimeText::dateOnly(when)
                              : DateTimeText::format(when);
    return stamp.toLocal8Bit() + " - " + text + "\r\n";
}

void append(const QString& dataDir, const QByteArray& text)
{
    const QString path = dataDir + QStringLiteral("/Log.Dat");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw EZelkorError("I/O error: cannot open " + path.toLocal8Bit() + " (" +
                           file.errorString().toLocal8Bit() + ")");
    const QByteArray line = formatLine(QDateTime::currentDateTime(), text);
    const bool written = file.write(line) == line.size() && file.flush();
    file.close();
    if (!written)
        throw EZelkorError("I/O error: cannot write " + path.toLocal8Bit());
}

} // namespace TransactionLog
