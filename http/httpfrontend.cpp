#include "http/httpfrontend.h"

#include "foundation/widgettext.h"
#include "http/httpgate.h"
#include "http/httpreply.h"
#include "http/ihttpaccess.h"
#include "http/ihttpmetrics.h"
#include "http/metricstext.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

using Method = QHttpServerRequest::Method;

QByteArray dottedAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return WidgetText::toBytes(isV4 ? QHostAddress(v4).toString() : address.toString());
}

QHttpServerResponse respond(const HttpAnswer& answer)
{
    return QHttpServerResponse(answer.body,
                               static_cast<QHttpServerResponse::StatusCode>(answer.status));
}

QHttpServerResponse wrongMethod(const QByteArray& allowed)
{
    QHttpServerResponse response = HttpReply::error(405, "method not allowed: use " + allowed);
    response.setHeader("Allow", allowed);
    return response;
}

// The request's body as a JSON object, or the 400 answer.
std::variant<QJsonObject, QHttpServerResponse> jsonBody(const QHttpServerRequest& request)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body(), &error);
    if (error.error != QJsonParseError::NoError) {
        return HttpReply::error(
            400, "the body is not JSON: " + WidgetText::toBytes(error.errorString()) + " at byte " +
                     QByteArray::number(error.offset));
    }
    if (!document.isObject())
        return HttpReply::error(400, "the body must be a JSON object");
    return document.object();
}

QByteArray header(const QHttpServerRequest& request, const QByteArray& name)
{
    for (const auto& [key, value] : request.headers()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QByteArray();
}

} // namespace

HttpFrontEnd::HttpFrontEnd(const IHttpAccess& access, IHttpPageIntake& intake,
                           const IHttpPageStatus& status, const IHttpMetrics& metrics,
                           const HttpLimits& limits, AlertDeduplicator::Clock clock,
                           QObject* parent)
    : QObject(parent), m_access(access), m_metrics(metrics), m_pages(intake, status),
      m_alerts(intake, std::move(clock)), m_statusPage(status),
      m_now([] { return QDateTime::currentDateTime(); }), m_server(new QHttpServer(this)),
      m_gate(new HttpGate(limits, this))
{
    addRoutes();
}

HttpFrontEnd::~HttpFrontEnd()
{
    stop();
}

std::optional<QString> HttpFrontEnd::listen(quint16 port, const QHostAddress& address)
{
    stop();
    if (!m_gate->listen(address, port))
        return m_gate->errorString();
    // Bound once it listens, as the module expects; binding again changes nothing.
    m_server->bind(m_gate);
    return std::nullopt;
}

void HttpFrontEnd::stop()
{
    m_gate->close();
    m_gate->dropConnections();
}

bool HttpFrontEnd::isListening() const
{
    return m_gate->isListening();
}

quint16 HttpFrontEnd::port() const
{
    return m_gate->serverPort();
}

std::optional<QHttpServerResponse> HttpFrontEnd::refusal(const QHttpServerRequest& request,
                                                         bool needsToken) const
{
    if (!m_access.addressAdmitted(dottedAddress(request.remoteAddress())))
        return HttpReply::error(403, "this address may not use the server");
    if (needsToken && !m_token.isEmpty() && !tokenMatches(header(request, "Authorization"))) {
        QHttpServerResponse response =
            HttpReply::error(401, "an Authorization: Bearer token is needed");
        response.setHeader("WWW-Authenticate", "Bearer");
        return response;
    }
    return std::nullopt;
}

bool HttpFrontEnd::tokenMatches(const QByteArray& authorization) const
{
    const QByteArray scheme = "bearer ";
    if (authorization.size() < scheme.size() ||
        authorization.left(scheme.size()).toLower() != scheme)
        return false;
    const QByteArray given = authorization.mid(scheme.size()).trimmed();
    // Compared in time that does not depend on where the texts differ.
    unsigned char difference = given.size() == m_token.size() ? 0 : 1;
    for (qsizetype i = 0; i < m_token.size(); ++i) {
        const char g = i < given.size() ? given[i] : '\0';
        difference |= static_cast<unsigned char>(g ^ m_token[i]);
    }
    return difference == 0;
}

void HttpFrontEnd::addRoutes()
{
    m_server->route(QStringLiteral("/healthz"), [this](const QHttpServerRequest& request) {
        if (auto refused = refusal(request, false))
            return std::move(*refused);
        if (request.method() != Method::Get)
            return wrongMethod("GET");
        return respond(m_statusPage.health());
    });

    m_server->route(QStringLiteral("/metrics"), [this](const QHttpServerRequest& request) {
        if (auto refused = refusal(request, true))
            return std::move(*refused);
        if (request.method() != Method::Get)
            return wrongMethod("GET");
        return QHttpServerResponse(MetricsText::ContentType,
                                   MetricsText::render(m_metrics.snapshot()));
    });

    m_server->route(QStringLiteral("/"), [this](const QHttpServerRequest& request) {
        if (auto refused = refusal(request, true))
            return std::move(*refused);
        if (request.method() != Method::Get)
            return wrongMethod("GET");
        QHttpServerResponse response("text/html; charset=utf-8", m_statusPage.page(m_now()));
        response.setHeader("Cache-Control", "no-store");
        return response;
    });

    m_server->route(QStringLiteral("/api/v1/pages"), [this](const QHttpServerRequest& request) {
        if (auto refused = refusal(request, true))
            return std::move(*refused);
        if (request.method() != Method::Post)
            return wrongMethod("POST");
        auto body = jsonBody(request);
        if (auto* bad = std::get_if<QHttpServerResponse>(&body))
            return std::move(*bad);
        return respond(
            m_pages.submit(std::get<QJsonObject>(body), dottedAddress(request.remoteAddress())));
    });

    m_server->route(QStringLiteral("/api/v1/pages/<arg>"),
                    [this](const QString& id, const QHttpServerRequest& request) {
                        if (auto refused = refusal(request, true))
                            return std::move(*refused);
                        if (request.method() != Method::Get)
                            return wrongMethod("GET");
                        return respond(m_pages.page(id));
                    });

    m_server->route(QStringLiteral("/api/v1/alertmanager/<arg>"),
                    [this](const QString& to, const QHttpServerRequest& request) {
                        if (auto refused = refusal(request, true))
                            return std::move(*refused);
                        if (request.method() != Method::Post)
                            return wrongMethod("POST");
                        auto body = jsonBody(request);
                        if (auto* bad = std::get_if<QHttpServerResponse>(&body))
                            return std::move(*bad);
                        return respond(m_alerts.notify(WidgetText::toBytes(to),
                                                       std::get<QJsonObject>(body),
                                                       dottedAddress(request.remoteAddress())));
                    });

    m_server->setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            std::optional<QHttpServerResponse> refused = refusal(request, true);
            if (refused)
                refused->write(std::move(responder));
            else
                HttpReply::error(404, "no such resource").write(std::move(responder));
        });
}
