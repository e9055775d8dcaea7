#pragma once

#include "foundation/inisnapshot.h"

#include <QString>

#include <optional>

#include <sys/types.h>

// A section/key file that is read again only when it has changed: each call to current()
// looks at the file's identity, size and times, and reads it only when one of them differs
// from the last read. A file written within the last seconds before it was read is read again
// next time, since a second write within the file system's clock step could leave its times as
// they were.
class CachedIniFile final
{
public:
    explicit CachedIniFile(QString path = {});

    const QString& path() const { return m_path; }

    // The file's content as it is now. Valid until the next call.
    const IniSnapshot& current();

private:
    struct Stamp
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;

        bool operator==(const Stamp&) const = default;
    };

    static Stamp stampOf(const QString& path);

    QString m_path;
    IniSnapshot m_snapshot;
    // The stamp of the file that m_snapshot holds, once it can stand for the file until the
    // stamp changes.
    std::optional<Stamp> m_stamp;
};
