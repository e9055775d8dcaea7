#pragma once

#include "foundation/filestamp.h"

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
    QString m_path;
    IniSnapshot m_snapshot;
    // The stamp of the file that m_snapshot holds, once it can stand for the file until the
    // stamp changes.
    std::optional<FileStamp> m_stamp;
};
