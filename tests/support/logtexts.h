#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The texts of log lines without their time stamps, for comparing what a run wrote.
namespace LogTexts {

// Live log lines with their leading date-time removed (lines without one, the hyphens and the
// empty line after them, as they are).
QStringList withoutTimeStamps(const QStringList& lines);
// The lines of Log.Dat in `dataDir`, each without its "date-time - " stamp.
QList<QByteArray> transactionLog(const QString& dataDir);

} // namespace LogTexts
