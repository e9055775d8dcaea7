#include "foundation/filestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileStore {

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    // The data goes to a new file beside the target with plain system calls, so every failing
    // step is seen where it happens (a buffered writer can report a full disk only at its
    // final flush, too late to keep an empty file from replacing the old one). Only after the
    // data has reached the disk does the rename replace the target, and the folder is synced so
    // the rename itself survives a power loss.
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : QFile::encodeName(path.left(slash));
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    // mkstemp creates the file for its owner only; keep the old file's permissions, or give a
    // new file the ones a plain create would (0666 less the umask).
    struct stat old;
    mode_t mode;
    if (::stat(target.constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        ok = false;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        data += written;
        left -= written;
    }
    if (ok && ::fsync(fd) != 0)
        ok = false;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temp.constData(), target.constData()) != 0)
        ok = false;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
