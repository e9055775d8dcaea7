#pragma once

#include "snpp/snppsettings.h"

#include <QObject>
#include <QString>

#include <optional>

class IPageSink;
class IPagerDirectory;
class ISnppAccess;
class SnppServer;

// The gateway as the server runs it: its settings file in the data folder and the listener they
// describe. Failures come back as texts for the operator.
class SnppGateway final : public QObject
{
    Q_OBJECT

public:
    // Reads the settings; listens only from start() on.
    SnppGateway(QString dataDir, const ISnppAccess& access, const IPagerDirectory& directory,
                IPageSink& sink, QObject* parent = nullptr);
    ~SnppGateway() override;

    SnppServer& server() const { return *m_server; }
    const SnppSettings& settings() const { return m_settings; }

    // Reads the settings file and listens when the gateway is on. A file that cannot be used
    // leaves the settings in use as they are (off at the first start), and the text says so.
    std::optional<QString> start();
    // Stops listening and ends the open sessions.
    void stop();
    // Stores the settings and listens as they say, also when only the port changed.
    std::optional<QString> configure(const SnppSettings& settings);

signals:
    // The gateway started or stopped listening.
    void listeningChanged(bool listening);

private:
    std::optional<QString> apply();
    // The file's settings taken as those in use; when the file cannot be used, why.
    std::optional<QString> readSettings();

    QString m_dataDir;
    SnppServer* m_server;
    SnppSettings m_settings;
};
