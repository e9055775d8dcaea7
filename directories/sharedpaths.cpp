#include "directories/sharedpaths.h"

#include <QDir>

QString SharedPaths::resolve(const QString& path, const QString& dataDir)
{
    if (path.isEmpty() || QDir::isRelativePath(path))
        return dataDir + QLatin1Char('/') + path;
    return path;
}

QString SharedPaths::directoryOf(const QString& userFile, const QString& dataDir)
{
    const qsizetype slash = userFile.lastIndexOf(QLatin1Char('/'));
    // A bare name has no folder of its own: it is a file of the data folder, never one at the
    // root of the file system.
    if (slash < 0)
        return dataDir;
    QString directory = userFile.left(slash + 1);
    // The final "/" goes unless it is all that is left of the root or follows another "/".
    if (directory.size() > 1 && directory.at(directory.size() - 2) != QLatin1Char('/'))
        directory.chop(1);
    return resolve(directory, dataDir);
}

QString SharedPaths::providerFile(const QString& directory)
{
    return directory + QLatin1Char('/') + ProviderFileName;
}
