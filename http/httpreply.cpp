#include "http/httpreply.h"

#include "foundation/widgettext.h"

#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char* reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace

QByteArray HttpReply::errorBody(const QByteArray& message)
{
    const QJsonObject body{{QStringLiteral("error"), WidgetText::fromBytes(message)}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

QHttpServerResponse HttpReply::error(int status, const QByteArray& message)
{
    return QHttpServerResponse("application/json", errorBody(message),
                               static_cast<QHttpServerResponse::StatusCode>(status));
}

QByteArray HttpReply::closingError(int status, const QByteArray& message)
{
    const QByteArray body = errorBody(message);
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}
