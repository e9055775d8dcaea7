#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Small file helpers shared by the data files. Text data files are shared with Windows
// workstations, so their lines end in CR LF; readers accept LF alone as well.
namespace FileStore {

// Replaces the file whole through a temporary file in the same folder and a rename, so a crash
// or a full disk never leaves half a file behind. A symbolic link (a list shared from another
// folder) is followed to the file it names, which is replaced and the link kept; the new file
// keeps the old one's owner, group and permissions. False when any step failed; the old file
// is then untouched.
bool writeAtomically(const QString& path, const QByteArray& bytes);

// Splits text into lines at LF, CR LF or a lone CR; a last line without terminator counts.
QList<QByteArray> splitLines(const QByteArray& text);
// The same lines as views into `text`, which must outlive them.
QList<QByteArrayView> splitLineViews(const QByteArray& text);

// A whole file as read, telling a missing file apart from one that is there but cannot be read
// (a folder in its place, no permission, a link to nothing, an I/O error).
struct FileBytes
{
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Missing;
    QByteArray bytes; // when Read
    QString error;    // when Unreadable: why, in the system's words
};
FileBytes readFile(const QString& path);

// Reads a text file as lines; a missing or unreadable file gives no lines.
QList<QByteArray> readLines(const QString& path);

// Each line followed by CR LF.
QByteArray joinCrLf(const QList<QByteArray>& lines);
QByteArray joinCrLf(const QList<QByteArrayView>& lines);

// The path of `name` in `dir`, matching an existing file's name without regard to letter case
// (Allow.txt and allow.txt name one file, as on the platform the files come from). When no
// file matches, the name as given.
QString pathIgnoringCase(const QString& dir, const QString& name);

// Everything before the last "/" of a path (the path itself when it holds none).
QString directoryPart(const QString& path);

} // namespace FileStore
