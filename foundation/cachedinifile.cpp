#include "foundation/cachedinifile.h"

#include <ctime>
#include <utility>

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

const IniSnapshot& CachedIniFile::current()
{
    const FileStamp before = FileStamp::of(m_path);
    if (m_stamp && *m_stamp == before)
        return m_snapshot;
    const qint64 readAt = wallClockNs();
    m_snapshot = IniSnapshot::read(m_path);
    // Kept for later calls only when the file did not change while it was read and its last
    // write lies far enough back that a further one would show in its modification time.
    const bool settled = before.modifiedNs < readAt - SettleNs;
    if (FileStamp::of(m_path) == before && (settled || !before.exists))
        m_stamp = before;
    else
        m_stamp.reset();
    return m_snapshot;
}
