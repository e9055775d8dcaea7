#include "foundation/filestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the system itself follows before it gives up with ELOOP.
constexpr int MaxLinks = 40;

// The file a path names once symbolic links (chains too) are followed: a shared list is often
// a link to the real list in another folder, and the new contents belong there, not in place of
// the link. A link whose target does not exist yet names that target, so the first write
// creates it. Empty when the links go round in a loop or a link cannot be read.
QByteArray realFile(const QByteArray& path)
{
    QByteArray current = path;
    for (int step = 0; step <= MaxLinks; ++step) {
        struct stat info;
        if (::lstat(current.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        QByteArray target(info.st_size > 0 ? info.st_size + 1 : 4096, '\0');
        const ssize_t length =
            ::readlink(current.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0 || length >= target.size())
            return {};
        target.truncate(length);
        if (!target.startsWith('/')) {
            const qsizetype slash = current.lastIndexOf('/');
            if (slash >= 0)
                target.prepend(current.left(slash + 1));
        }
        current = target;
    }
    return {};
}

QByteArray folderOf(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : file.left(slash);
}

// Gives the temporary file the owner, group and permissions of the file it replaces, so a list
// that belongs to another user or group stays theirs; a new file gets what a plain create would
// give it (its creator, 0666 less the umask). Where the owner cannot be kept (only root may give
// a file away) the group and permissions still are. False when the permissions cannot be set.
bool takeOverAttributes(int fd, const QByteArray& target)
{
    struct stat old;
    if (::stat(target.constData(), &old) != 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, 0666 & ~mask) == 0;
    }
    struct stat fresh;
    if (::fstat(fd, &fresh) == 0 && (fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid)) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    // After the owner: a change of owner clears the set-user and set-group bits.
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

namespace FileStore {

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    // The data goes to a new file beside the real file with plain system calls, so every
    // failing step is seen where it happens (a buffered writer can report a full disk only at
    // its final flush, too late to keep an empty file from replacing the old one). Only after
    // the data has reached the disk does the rename replace the file, and the folder is synced
    // so the rename itself survives a power loss.
    const QByteArray target = realFile(QFile::encodeName(path));
    if (target.isEmpty())
        return false;
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = takeOverAttributes(fd, target) && writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temp.constData(), target.constData()) != 0)
        ok = false;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    const int dirFd = ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        // The new file is in place; a folder that cannot be synced (some file systems refuse)
        // does not undo that.
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
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

FileBytes readFile(const QString& path)
{
    FileBytes result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;
    result.status = FileBytes::Status::Unreadable;
    if (!info.exists()) {
        result.error = QStringLiteral("a link to a file that does not exist");
        return result;
    }
    if (info.isDir()) {
        result.error = QStringLiteral("a folder, not a file");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    result.status = FileBytes::Status::Read;
    result.bytes = std::move(bytes);
    return result;
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
