#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

// A folder where writes run out of room after a few kilobytes, for tests of full disks.
// Where the test may mount file systems it is a tmpfs of `bytes` bytes; elsewhere the
// process's file-size limit stands in for it (writes past that size then fail with EFBIG,
// as they fail with ENOSPC on a full disk). Either way the folder is removed afterwards and the
// limit restored.
class SmallFileSystem final
{
public:
    explicit SmallFileSystem(qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return path() + QLatin1Char('/') + name; }
    bool isTmpfs() const { return m_mounted; }
    // Takes up what room is left, so the next write of any size fails.
    void fill();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_limited = false;
    struct rlimit m_oldLimit
    {
    };
};
