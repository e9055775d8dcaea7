#pragma once

#include "core/serverconfig.h"

#include <QString>
#include <QStringList>

class IOperatorPrompts;

// Reading Server.Dat where nobody can answer the settings dialog. A missing file is replaced by
// `fallback`, written as the dialog's OK would write it; a damaged one (shorter than a record)
// is first kept beside it as Server.Dat.bad, so the operator can still look at what it held.
// A file that exists but cannot be read is left alone: the server runs on `fallback` without
// writing over it. Out-of-range fields are defaulted as at any load.
namespace SettingsRecovery {

struct Result
{
    TServerConfig config;
    QStringList notes; // what was decided, one line each, for the logs
};

Result load(const QString& dataDir, const TServerConfig& fallback, IOperatorPrompts& prompts);

// Reading Server.Dat again while the server runs on `running`. Only a whole record that names
// nothing invalid and a port the listener can use is applied; a record that does not, or a file
// that cannot be read, is left as it is and the server keeps `running`, with an error box (a
// line on standard error) that says so. A missing or short file is handled as load() handles
// it, with `running` in place of the defaults.
Result reload(const QString& dataDir, const TServerConfig& running, IOperatorPrompts& prompts);

} // namespace SettingsRecovery
