#include "service/settingsrecovery.h"

#include "core/configfile.h"
#include "foundation/convert.h"
#include "foundation/filestore.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

#include <QFile>
#include <QFileInfo>

#include <netdb.h>

namespace {

// Whether the listener can turn the port name into a port, as its lookup does: a name that
// starts with a digit is a number from 1 to 65535, any other a TCP service the system knows.
bool portUsable(const QByteArray& name)
{
    if (name.isEmpty())
        return false;
    if (name.front() >= '0' && name.front() <= '9') {
        const std::optional<qint32> port = tryStrToInt(name);
        return port && *port >= 1 && *port <= 65535;
    }
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    return getservbyname_r(name.constData(), "tcp", &entry, buffer, sizeof buffer, &found) == 0 &&
           found != nullptr && found->s_port != 0;
}

} // namespace

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

Result reload(const QString& dataDir, const TServerConfig& running, IOperatorPrompts& prompts)
{
    const FileStore::FileBytes file = FileStore::readFile(ConfigFile::path(dataDir));
    if (file.status == FileStore::FileBytes::Status::Missing ||
        (file.status == FileStore::FileBytes::Status::Read &&
         file.bytes.size() < TServerConfig::RecordSize))
        return load(dataDir, running, prompts);

    Result result{running, {}};
    if (file.status == FileStore::FileBytes::Status::Unreadable) {
        prompts.showError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(ConfigFile::path(dataDir), file.error));
        result.notes << QStringLiteral("Server.Dat could not be read: running on the settings "
                                       "in use, the file is left as it is");
        return result;
    }
    const TServerConfig config = TServerConfig::fromRecord(file.bytes);
    QList<QByteArray> invalid = config.invalidFields();
    if (!invalid.contains("Port") && !portUsable(config.Port))
        invalid.append("Port");
    if (!invalid.isEmpty()) {
        const QString fields = WidgetText::fromBytes(invalid.join(", "));
        prompts.beep();
        prompts.showMessage(IOperatorPrompts::BoxKind::Error,
                            QStringLiteral("Invalid Settings In Configuration File: %1. "
                                           "Settings In Use Kept.")
                                .arg(fields));
        result.notes << QStringLiteral("Server.Dat holds invalid settings (%1): running on the "
                                       "settings in use, the file is left as it is")
                            .arg(fields);
        return result;
    }
    result.config = config;
    return result;
}

} // namespace SettingsRecovery
