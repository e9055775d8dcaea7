#include "tests/support/logtexts.h"

#include "core/transactionlog.h"

#include <QRegularExpression>

namespace LogTexts {

QStringList withoutTimeStamps(const QStringList& lines)
{
    QStringList texts;
    // A date-time is the locale's short date, a blank and the time with seconds.
    static const QRegularExpression prefix(QStringLiteral("^.*?\\d{2}:\\d{2}:\\d{2} "));
    for (QString line : lines)
        texts.append(line.remove(prefix));
    return texts;
}

QList<QByteArray> transactionLog(const QString& dataDir)
{
    QList<QByteArray> texts;
    for (const QByteArray& line : TransactionLog::readLines(dataDir)) {
        const qsizetype at = line.indexOf(" - ");
        texts.append(at < 0 ? line : line.mid(at + 3));
    }
    return texts;
}

} // namespace LogTexts
