#pragma once

#include <QString>

// Where the shared lists live. The operator names the shared user and group files in the
// settings; the company directory Provider.dat always lies beside the shared user file.
// Relative paths are taken from the data folder, which is the server's working directory.
class SharedPaths final
{
public:
    // `path` as an absolute path: a relative one is taken from `dataDir`.
    static QString resolve(const QString& path, const QString& dataDir);

    // The folder of the shared user file: everything before its last "/", keeping the "/" of
    // the root (and of a doubled "//"). A bare file name lies in the data folder.
    static QString directoryOf(const QString& userFile, const QString& dataDir);

    // The company directory's file name.
    static inline const QString ProviderFileName = QStringLiteral("Provider.dat");

    // The company directory in `directory`.
    static QString providerFile(const QString& directory);
};
