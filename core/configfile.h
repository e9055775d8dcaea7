#pragma once

#include <QString>

struct TServerConfig;
class IOperatorPrompts;

// Server.Dat in the data directory: the settings record, read once at start-up and written on
// every confirmed settings dialog.
namespace ConfigFile {

// The file's name in the data folder.
inline const QString FileName = QStringLiteral("Server.Dat");

QString path(const QString& dataDir);

// Fills `config` from Server.Dat. False without a word when there is no file. A file shorter
// than the record is reported as "Corupted Configuration File!" and deleted; bytes beyond the
// record are ignored. A file that exists but cannot be opened is reported through the standard
// error box and left in place.
bool LoadConfig(const QString& dataDir, TServerConfig& config, IOperatorPrompts& prompts);

// Replaces Server.Dat with the record (atomically, so a failed write keeps the old file);
// a failure is reported as "Could Not Write To Configuration File!". The record in memory keeps
// its values either way.
bool SaveConfig(const QString& dataDir, TServerConfig& config, IOperatorPrompts& prompts);

} // namespace ConfigFile
