#pragma once

#include <QString>
#include <QtGlobal>

// What tells one state of a file from another without reading it: device, inode, size and the
// times of its last modification and last change (ns), taken through a symbolic link to the
// file it names. A cache keyed by it reads the file again when another process replaced or
// rewrote it.
struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    bool operator==(const FileStamp&) const = default;

    // The file at `path` as it is now; `exists` false when it cannot be looked at.
    static FileStamp of(const QString& path);
};
