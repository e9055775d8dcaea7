#include "foundation/folderlock.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The process id a holder wrote, 0 when the file holds none.
qint64 readHolder(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    bool ok = false;
    const qint64 pid = QByteArray(text, n).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

} // namespace

FolderLock::~FolderLock()
{
    release();
}

void FolderLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_held = false;
}

FolderLock::Result FolderLock::take(const QString& path)
{
    release();
    m_holder = 0;
    m_error.clear();
    const QByteArray name = QFile::encodeName(path);
    // No O_TRUNC: the file is only emptied once the claim is ours. A link in its place is not
    // followed, so the lock never lands on a file outside the folder.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        // A lock file made by another user (the service's own, say) can still be locked
        // through a descriptor for reading; only the process id is not written then.
        fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) {
        m_error = systemError(errno);
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            m_holder = readHolder(fd);
            ::close(fd);
            return Result::HeldElsewhere;
        }
        ::close(fd);
        m_error = systemError(error);
        return Result::Failed;
    }
    m_fd = fd;
    m_held = true;
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    // The id is a courtesy for the message of a second start; a lock file that cannot take it
    // (opened for reading only, a full disk) still holds the claim.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(fd, pid.constData(), static_cast<size_t>(pid.size()), 0);
    }
    return Result::Taken;
}
