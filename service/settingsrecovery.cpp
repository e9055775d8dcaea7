#include "service/settingsrecovery.h"

#include "server/configfile.h"

#include <QFile>
#include <QFileInfo>

namespace SettingsRecovery {

Result load(const QString& dataDir, const TServerConfig& fallback, IOperatorPrompts& prompts)
{
    Result result{fallback, {}};
    const QString path = ConfigFile::path(dataDir);
    const QFileInfo info(path);
    bool keptDamaged = false;
    if (info.exists() && info.size() < TServerConfig::RecordSize) {
        // Loading removes a short file; its bytes are kept first.
        const QString copy = path + QStringLiteral(".bad");
        QFile::remove(copy);
        if (!QFile::copy(path, copy)) {
            result.notes << QStringLiteral("Server.Dat is damaged and could not be kept as "
                                           "Server.Dat.bad: left as it is, running on defaults");
            return result;
        }
        keptDamaged = true;
    }
    const bool existed = info.exists();
    TServerConfig config = fallback;
    if (ConfigFile::LoadConfig(dataDir, config, prompts)) {
        result.config = config;
        return result;
    }
    if (existed && !keptDamaged) {
        // There but unreadable: the operator's file is not overwritten.
        result.notes << QStringLiteral("Server.Dat could not be read: running on the settings "
                                       "in use, the file is left as it is");
        return result;
    }
    TServerConfig written = fallback;
    const QString cause = keptDamaged
                              ? QStringLiteral("Server.Dat was damaged (kept as Server.Dat.bad)")
                              : QStringLiteral("Server.Dat was missing");
    if (ConfigFile::SaveConfig(dataDir, written, prompts)) {
        result.config = written;
        result.notes << cause + QStringLiteral(": settings written to Server.Dat");
    } else {
        result.notes << cause + QStringLiteral(": settings could not be written, running on them "
                                               "all the same");
    }
    return result;
}

} // namespace SettingsRecovery
