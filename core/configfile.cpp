#include "core/configfile.h"

#include "core/serverconfig.h"
#include "foundation/filestore.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

#include <QFile>

namespace ConfigFile {

QString path(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}

bool LoadConfig(const QString& dataDir, TServerConfig& config, IOperatorPrompts& prompts)
{
    QFile file(path(dataDir));
    if (!file.exists())
        return false;
    if (!file.open(QIODevice::ReadOnly)) {
        prompts.showError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(file.fileName(), file.errorString()));
        return false;
    }
    const QByteArray bytes = file.read(TServerConfig::RecordSize);
    if (bytes.size() < TServerConfig::RecordSize) {
        prompts.beep();
        prompts.showMessage(IOperatorPrompts::BoxKind::Error,
                            QStringLiteral("Corupted Configuration File!"));
        file.close();
        file.remove();
        return false;
    }
    config = TServerConfig::fromRecord(bytes);
    const QList<QByteArray> reset = config.resetOutOfRange();
    if (!reset.isEmpty()) {
        // The file is kept: every other setting in it is still the operator's, and the next
        // OK in the options dialog writes the record whole again.
        prompts.beep();
        prompts.showMessage(IOperatorPrompts::BoxKind::Error,
                            QStringLiteral("Invalid Settings In Configuration File: %1. "
                                           "Defaults Used Instead.")
                                .arg(WidgetText::fromBytes(reset.join(", "))));
    }
    return true;
}

bool SaveConfig(const QString& dataDir, TServerConfig& config, IOperatorPrompts& prompts)
{
    const QByteArray record = config.toRecord();
    if (!FileStore::writeAtomically(path(dataDir), record)) {
        prompts.beep();
        prompts.showMessage(IOperatorPrompts::BoxKind::Error,
                            QStringLiteral("Could Not Write To Configuration File!"));
        return false;
    }
    config.raw = record;
    return true;
}

} // namespace ConfigFile
