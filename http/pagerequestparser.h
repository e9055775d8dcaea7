#pragma once

#include "http/ihttppageintake.h"

#include <QByteArray>
#include <QJsonObject>

#include <variant>

// The body of POST /api/v1/pages as a typed request:
// {"to": "alice" | ["alice", "ops"], "message": "...", "subject": "...", "hold_until": "..."}.
// Only the fields' form is checked here; whether the pagers exist and the text fits is the
// queue's to say.
namespace PageRequestParser {

// The most pager IDs one request may name.
constexpr int MaxPagerIds = 100;

// The request, or the reason it is malformed. Line breaks and tabs in the texts become single
// blanks (a page is one line); other control characters are refused.
std::variant<HttpPageRequest, QByteArray> parse(const QJsonObject& body);

// One line of the system's 8-bit text from a JSON string: runs of blanks, tabs and line breaks
// become one blank, the ends are trimmed. Nothing when another control character is in it.
std::optional<QByteArray> lineText(const QString& text);

// An RFC 3339 time ("2026-12-07T17:40:00Z", "2026-12-07T18:40:00.5+01:00"); it must name its
// offset from UTC.
std::optional<QDateTime> parseTime(const QString& text);

} // namespace PageRequestParser
