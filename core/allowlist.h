#pragma once

#include "foundation/filestore.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The access number allow list: the lines of Allow.txt in the data directory, each a prefix of
// allowed access numbers written as digits. The file name is matched without regard to letter
// case, so Allow.txt and allow.txt are one file.
namespace AllowList {

// The file's name as it is looked for, and the name a new file is created with.
inline const QString FileName = QStringLiteral("Allow.txt");
inline const QString NewFileName = QStringLiteral("allow.txt");

// The access number as the list compares it: blanks, "-", "(" and ")" removed.
QByteArray normalizeNumber(const QByteArray& argument);

// True when some line is a prefix of the normalized number (letter case ignored). An empty line
// allows every number; no lines allow nothing; a number shorter than a line is not allowed by it.
bool allows(const QList<QByteArray>& lines, const QByteArray& argument);

// The file's path: an existing file of that name in any letter case, else dataDir/`name`.
QString filePath(const QString& dataDir, const QString& name = FileName);

// The lines of the file (CR LF, LF or CR end a line); none when there is no file.
QList<QByteArray> load(const QString& dataDir);

// The file as read now: its lines, or that there is no file, or why it cannot be read. No file
// is an empty list that allows nothing; a file that cannot be read says nothing about the list.
struct Reading
{
    FileStore::FileBytes::Status status = FileStore::FileBytes::Status::Missing;
    QList<QByteArray> lines;
    QString error;
};
Reading read(const QString& dataDir);

// Replaces the file with the lines, each followed by CR LF. Created as NewFileName when there
// is none yet. Raises EZelkorError when the file cannot be written; the old file then stays.
void save(const QString& dataDir, const QList<QByteArray>& lines);

} // namespace AllowList
