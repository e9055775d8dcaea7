#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct TServerConfig;

// The server's settings as the parts that follow them see them: the data folder, the
// configuration record and the allow list. Changes go through the setters, which tell whoever
// follows them; nobody edits the settings in place.
class IServerSettings
{
public:
    virtual ~IServerSettings() = default;

    // The data directory: the working directory at start-up.
    virtual const QString& dataDir() const = 0;

    virtual const TServerConfig& config() const = 0;
    virtual void setConfig(const TServerConfig& config) = 0;

    // The lines of the allow list as last loaded.
    virtual const QList<QByteArray>& allowList() const = 0;
    virtual void setAllowList(const QList<QByteArray>& lines) = 0;
};
