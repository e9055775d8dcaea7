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
    // Called again (a reload), it keeps the listener and its sessions while the gateway stays
    // on at the same port.
    std::optional<QString> start();
    // Stops listening; each open session ends after the command in hand with its reply and
    // "421". drained() follows once they are all gone.
    void stop();
    bool isDrained() const;
    // Stores the settings and listens as they say. Only a changed port or a gateway switched
    // off ends the open sessions, as stop() ends them.
    std::optional<QString> configure(const SnppSettings& settings);

signals:
    // The gateway started or stopped listening.
    void listeningChanged(bool listening);
    // After a stop, the last session has ended.
    void drained();

private:
    std::optional<QString> apply();
    // The file's settings taken as those in use; when the file cannot be used, why.
    std::optional<QString> readSettings();

    QString m_dataDir;
    SnppServer* m_server;
    SnppSettings m_settings;
};
