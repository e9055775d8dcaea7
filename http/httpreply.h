#pragma once

#include <QByteArray>

class QHttpServerResponse;

// The replies every part of the front end gives alike: errors are JSON {"error": "..."}.
namespace HttpReply {

// The error body for `message`.
QByteArray errorBody(const QByteArray& message);
// A response with `status` and the error body.
QHttpServerResponse error(int status, const QByteArray& message);
// A whole HTTP/1.1 response with the error body that also closes the connection, for the
// listener's own refusals, sent before or instead of the HTTP server module's reply.
QByteArray closingError(int status, const QByteArray& message);

} // namespace HttpReply
