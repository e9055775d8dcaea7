#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The transaction log Log.Dat: one line per event, "date time - text" + CR LF, appended with the
// file opened and closed for every line. The time part is left out in the first second after
// midnight, as the platform's date-time text does.
namespace TransactionLog {

// The file's name in the data folder.
inline const QString FileName = QStringLiteral("Log.Dat");

QByteArray formatLine(const QDateTime& when, const QByteArray& text);

// Appends one line stamped `when` to dataDir/Log.Dat. Raises EZelkorError when the file cannot be
// opened or written; the line is then lost and the caller stops where it is.
void append(const QString& dataDir, const QByteArray& text, const QDateTime& when);

// The lines of dataDir/Log.Dat as they are now; none when there is no file.
QList<QByteArray> readLines(const QString& dataDir);

// Deletes dataDir/Log.Dat. True when the file is gone afterwards (also when there was none).
bool remove(const QString& dataDir);

// Writes lines to `path`, each followed by CR LF, replacing the file. Raises EZelkorError when
// the file cannot be written; an existing file then stays as it was.
void saveCopy(const QString& path, const QList<QByteArray>& lines);

} // namespace TransactionLog
