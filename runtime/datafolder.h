#pragma once

#include <QString>

#include <optional>

class FolderLock;

// The data folder as one running server's own. Two servers on one folder would rewrite the
// queue and the settings over each other and lose acknowledged pages, so a server claims the
// folder before it reads or writes any file there, and holds the claim until it ends.
namespace DataFolder {

// The lock file's name in the data folder.
inline const QString LockFileName = QStringLiteral("zelkor-server.lock");

// Claims `dataDir` with `lock`. Nothing when the folder is this process's now; otherwise the
// line for the operator: another server runs there, or the folder cannot be locked.
std::optional<QString> claim(const QString& dataDir, FolderLock& lock);

// Removes what a rewrite of the folder's own files (Server.Dat, Message.Dat, Snpp.Dat,
// Allow.txt) leaves when the process ends between writing its temporary file and the rename:
// "Message.Dat.Ab12Cd" and the like. Such a file was never in use: a rewrite's result counts
// only once renamed, and no page is acknowledged before that. Call it only while the claim is
// held, as another server's rewrite in progress looks the same.
void removeStaleTemporaries(const QString& dataDir);

} // namespace DataFolder
