#pragma once

#include "http/alertdeduplicator.h"
#include "http/alertmanagercontroller.h"
#include "http/httplimits.h"
#include "http/pagescontroller.h"
#include "http/statuscontroller.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class HttpGate;
class IHttpAccess;
class IHttpMetrics;
class IHttpPageIntake;
class IHttpPageStatus;
class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;

// The HTTP front end: Qt's HTTP server routes the requests to the controllers, behind a
// listening socket that keeps the limits (HttpGate). Every request passes the address lists;
// with a token set, every request but GET /healthz needs "Authorization: Bearer <token>".
// Requests are answered as they arrive, each without waiting for another.
class HttpFrontEnd final : public QObject
{
    Q_OBJECT

public:
    HttpFrontEnd(const IHttpAccess& access, IHttpPageIntake& intake, const IHttpPageStatus& status,
                 const IHttpMetrics& metrics, const HttpLimits& limits = {},
                 AlertDeduplicator::Clock clock = {}, QObject* parent = nullptr);
    ~HttpFrontEnd() override;

    // Empty: requests need no token. Counts from the next request on.
    void setToken(const QByteArray& token) { m_token = token; }

    // Listens on `port` (0: a free one) after a stop() of what it served before. The
    // platform's reason when that fails.
    std::optional<QString> listen(quint16 port,
                                  const QHostAddress& address = QHostAddress::AnyIPv4);
    // Stops listening and drops every open connection.
    void stop();
    bool isListening() const;
    quint16 port() const;
    const HttpGate& gate() const { return *m_gate; }

    // The time the status page is made at; the clock by default.
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

private:
    void addRoutes();
    // The answer for a request the address lists or the token refuse; nothing when it may
    // be served.
    std::optional<QHttpServerResponse> refusal(const QHttpServerRequest& request,
                                               bool needsToken) const;
    bool tokenMatches(const QByteArray& authorization) const;

    const IHttpAccess& m_access;
    const IHttpMetrics& m_metrics;
    QByteArray m_token;
    PagesController m_pages;
    AlertmanagerController m_alerts;
    StatusController m_statusPage;
    std::function<QDateTime()> m_now;
    QHttpServer* m_server;
    HttpGate* m_gate;
};
