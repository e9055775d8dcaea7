#include "foundation/cachedinifile.h"

#include <QFile>

#include <ctime>
#include <utility>

#include <sys/stat.h>

namespace {

// Changes this recent are not trusted to show in the file's times (file systems keep them in
// steps of up to two seconds).
constexpr qint64 SettleNs = 2'000'000'000;

qint64 nanoseconds(const timespec& time)
{
    return static_cast<qint64>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

qint64 wallClockNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

} // namespace

CachedIniFile::CachedIniFile(QString path) : m_path(std::move(path)) {}

CachedIniFile::Stamp CachedIniFile::stampOf(const QString& path)
{
    Stamp stamp;
    struct stat status
    {
    };
    // Through a symbolic link to the file it names: a list shared from another folder.
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = status.st_dev;
    stamp.inode = status.st_ino;
    stamp.size = status.st_size;
    stamp.modifiedNs = nanoseconds(status.st_mtim);
    stamp.changedNs = nanoseconds(status.st_ctim);
    return stamp;
}

const IniSnapshot& CachedIniFile::current()
{
    const Stamp before = stampOf(m_path);
    if (m_stamp && *m_stamp == before)
        return m_snapshot;
    const qint64 readAt = wallClockNs();
    m_snapshot = IniSnapshot::read(m_path);
    // Kept for later calls only when the file did not change while it was read and its last
    // write lies far enough back that a further one would show in its modification time.
    const bool settled = before.modifiedNs < readAt - SettleNs;
    if (stampOf(m_path) == before && (settled || !before.exists))
        m_stamp = before;
    else
        m_stamp.reset();
    return m_snapshot;
}
