#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/types.h>

// A folder where writes run out of room after a few kilobytes, for tests of full disks.
// Where the test may mount file systems it is a tmpfs of `bytes` bytes; elsewhere the
// process's file-size limit stands in for it (writes past that size then fail with EFBIG,
// as they fail with ENOSPC on a full disk). Either way the folder is removed afterwards and the
// limit restored.
class SmallFileSystem final
{
public:
    // The folder is a new temporary one, or `folder` when given (an empty folder of the test's,
    // which the file system then covers until it goes).
    explicit SmallFileSystem(qint64 bytes, const QString& folder = QString());
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    QString path() const { return m_path; }
    QString file(const QString& name) const { return path() + QLatin1Char('/') + name; }
    bool isTmpfs() const { return m_mounted; }
    // Takes up what room is left, so the next write of any size fails. With `program`, also
    // for that process (a program started on the folder): on a tmpfs the room is shared; under
    // the file-size limit the program's own limit is lowered as well.
    void fill(pid_t program = 0);
    // Gives back the room fill() took, to this process and to `program`.
    void makeRoom(pid_t program = 0);

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_mounted = false;
    bool m_limited = false;
    qint64 m_bytes = 0;
    struct rlimit m_oldLimit
    {
    };
};
