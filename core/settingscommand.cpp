#include "core/settingscommand.h"

#include "core/configfile.h"
#include "core/ioptionsdialog.h"
#include "core/iserversettings.h"
#include "core/serverconfig.h"
#include "foundation/convert.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"

#include <QFile>

SettingsCommand::SettingsCommand(IServerSettings& settings, IOptionsDialog& dialog,
                                 IOperatorPrompts& prompts)
    : m_settings(settings), m_dialog(dialog), m_prompts(prompts)
{
}

bool SettingsCommand::run()
{
    IOperatorPrompts& prompts = m_prompts;
    for (;;) {
        fillDialog();
        if (m_dialog.execute()) {
            try {
                store(m_dialog.values());
            } catch (const EZelkorError& error) {
                // A check interval that is not a number: nothing of this dialog takes effect.
                // Reported here rather than left to the event loop, so that a first start
                // goes on asking instead of running without a configuration.
                prompts.showError(error.text());
            }
        }
        if (QFile::exists(ConfigFile::path(m_settings.dataDir())))
            return true;
        prompts.beep();
        // Headless, nobody fills the dialog in: the defaults are written as its OK would write
        // them, and the server runs (SettingsRecovery).
        if (prompts.askYesNo(IOperatorPrompts::BoxKind::Warning,
                             QStringLiteral("Must Configure Application! Exit?")))
            return false;
    }
}

void SettingsCommand::fillDialog()
{
    const TServerConfig& config = m_settings.config();
    m_dialog.showFirstPage();
    m_dialog.selectModemType(config.ModemType);
    // The modem type's definition first, then the stored values over it: the dialog opens with
    // what is configured, and the definition only comes in when the operator picks a type.
    m_dialog.ModemListChange();
    OptionValues values;
    values.QueTime = QByteArray::number(config.QueTime);
    values.SystemTray = config.SystemTray;
    values.Logging = config.Logging;
    values.ModemType = config.ModemType;
    values.InitString = config.InitString;
    values.ComPort = config.ComPort;
    values.ComPortSpeed = config.ComPortSpeed;
    values.FlowControl = config.FlowControl;
    values.UserFile = config.UserFile;
    values.GroupFile = config.GroupFile;
    values.Port = config.Port;
    values.IPAccept = config.IPAccept;
    values.IPDeny = config.IPDeny;
    m_dialog.setValues(values);
}

void SettingsCommand::store(const OptionValues& values)
{
    // Converted first: a bad number raises before anything is changed.
    const qint32 queTime = StrToInt(values.QueTime);
    TServerConfig config = m_settings.config();
    config.QueTime = queTime;
    config.SystemTray = values.SystemTray;
    config.Logging = values.Logging;
    config.ModemType = values.ModemType.left(TServerConfig::ModemTypeCapacity);
    config.InitString = values.InitString.left(TServerConfig::InitStringCapacity);
    config.ComPort = values.ComPort;
    config.ComPortSpeed = values.ComPortSpeed;
    config.FlowControl = values.FlowControl;
    config.UserFile = values.UserFile.left(TServerConfig::FileCapacity);
    config.GroupFile = values.GroupFile.left(TServerConfig::FileCapacity);
    config.Port = values.Port.left(TServerConfig::PortCapacity);
    config.IPAccept = values.IPAccept.left(TServerConfig::IPListCapacity);
    config.IPDeny = values.IPDeny.left(TServerConfig::IPListCapacity);
    // The record in memory takes the values whether or not the file could be written.
    ConfigFile::SaveConfig(m_settings.dataDir(), config, m_prompts);
    m_settings.setConfig(config);
    if (m_onConfirmed)
        m_onConfirmed();
}
