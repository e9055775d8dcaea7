#pragma once

#include <QString>

// An exclusive claim on a folder through a lock file in it, for as long as this object lives.
// The kernel drops the claim with the process however it ends (kill -9 included), so a lock
// file left behind never blocks the next start. The file itself is created when missing and
// never emptied or rewritten unless the claim was taken: a process that finds the folder taken
// changes nothing there.
class FolderLock final
{
public:
    enum class Result {
        Taken,         // this process holds the folder now
        HeldElsewhere, // another process holds it
        Failed,        // the lock file could not be opened or locked; see error()
    };

    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Claims `path` (the lock file) without waiting. Once taken, the file holds this process's
    // id, so whoever finds the folder taken can name its holder.
    Result take(const QString& path);
    bool held() const { return m_held; }

    // After HeldElsewhere: the holder's process id as it wrote it, 0 when there is none.
    qint64 holder() const { return m_holder; }
    // After Failed: why, in the system's words.
    const QString& error() const { return m_error; }

private:
    void release();

    int m_fd = -1;
    bool m_held = false;
    qint64 m_holder = 0;
    QString m_error;
};
