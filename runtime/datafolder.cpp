#include "runtime/datafolder.h"

#include "core/allowlist.h"
#include "core/configfile.h"
#include "foundation/folderlock.h"
#include "queue/messagequeuefile.h"
#include "snpp/snppsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace DataFolder {

std::optional<QString> claim(const QString& dataDir, FolderLock& lock)
{
    const QString path = QDir(dataDir).filePath(LockFileName);
    switch (lock.take(path)) {
    case FolderLock::Result::Taken:
        return std::nullopt;
    case FolderLock::Result::HeldElsewhere: {
        const QString holder =
            lock.holder() > 0 ? QStringLiteral(" (process %1)").arg(lock.holder()) : QString();
        return QStringLiteral("another server%1 already runs in the data folder %2; this one "
                              "ends without changing anything there")
            .arg(holder, dataDir);
    }
    case FolderLock::Result::Failed:
        break;
    }
    return QStringLiteral("cannot lock the data folder %1 (%2: %3), so it cannot be kept for "
                          "this server alone")
        .arg(dataDir, path, lock.error());
}

void removeStaleTemporaries(const QString& dataDir)
{
    // The names the temporary files of a rewrite take: the file's own name, a dot and six
    // letters or digits. Allow.txt is matched in any letter case, as the file itself is.
    const auto escaped = [](const QString& name) { return QRegularExpression::escape(name); };
    const QRegularExpression temporary(
        QStringLiteral("^(?:%1|%2|%3|(?i:%4))\\.[A-Za-z0-9]{6}$")
            .arg(escaped(ConfigFile::FileName), escaped(MessageQueueFile::FileName),
                 escaped(SnppSettings::FileName), escaped(AllowList::FileName)));

    const QDir folder(dataDir);
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
        if (!entry.isFile() || entry.isSymLink())
            continue;
        if (!temporary.match(entry.fileName()).hasMatch())
            continue;
        QFile::remove(entry.filePath());
    }
}

} // namespace DataFolder
