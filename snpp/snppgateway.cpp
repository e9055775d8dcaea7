#include "snpp/snppgateway.h"

#include "foundation/errors.h"
#include "snpp/snppserver.h"

#include <utility>

SnppGateway::SnppGateway(QString dataDir, const ISnppAccess& access,
                         const IPagerDirectory& directory, IPageSink& sink, QObject* parent)
    : QObject(parent), m_dataDir(std::move(dataDir)),
      m_server(new SnppServer(access, directory, sink, this))
{
    readSettings();
    connect(m_server, &SnppServer::drained, this, &SnppGateway::drained);
}

SnppGateway::~SnppGateway() = default;

std::optional<QString> SnppGateway::start()
{
    const std::optional<QString> unusable = readSettings();
    const std::optional<QString> failure = apply();
    if (!unusable)
        return failure;
    return failure ? *unusable + QStringLiteral("\r\n") + *failure : unusable;
}

std::optional<QString> SnppGateway::readSettings()
{
    QString problem;
    if (const std::optional<SnppSettings> settings = SnppSettings::read(m_dataDir, problem)) {
        m_settings = *settings;
        return std::nullopt;
    }
    return QStringLiteral("%1: the SNPP gateway keeps the settings in use (%2)")
        .arg(problem, m_settings.describe());
}

bool SnppGateway::isDrained() const
{
    return m_server->isDrained();
}

void SnppGateway::stop()
{
    const bool was = m_server->isListening();
    m_server->stop();
    if (was)
        emit listeningChanged(false);
}

std::optional<QString> SnppGateway::configure(const SnppSettings& settings)
{
    std::optional<QString> failure;
    try {
        settings.save(m_dataDir);
    } catch (const EZelkorError& error) {
        // The gateway still follows the operator's choice until the program ends.
        failure = error.text();
    }
    m_settings = settings;
    const std::optional<QString> listenFailure = apply();
    return failure ? failure : listenFailure;
}

std::optional<QString> SnppGateway::apply()
{
    if (m_settings.enabled && m_server->isListening() && m_server->port() == m_settings.port)
        return std::nullopt; // the clients being served go on
    stop();
    if (!m_settings.enabled)
        return std::nullopt;
    if (const std::optional<QString> reason = m_server->listen(m_settings.port))
        return QStringLiteral("SNPP Gateway Cannot Listen On Port %1: %2")
            .arg(m_settings.port)
            .arg(*reason);
    emit listeningChanged(true);
    return std::nullopt;
}
