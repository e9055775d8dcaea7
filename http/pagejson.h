#pragma once

#include "http/ihttppagestatus.h"

#include <QJsonObject>
#include <QString>

// Pages as the API shows them. Times are RFC 3339 in UTC ("2026-12-07T17:40:01Z").
namespace PageJson {

QString time(const QDateTime& when);
// {"id", "to", "pin", "company", "state", "reason", "accepted_at", "updated_at", "history"}.
QJsonObject record(const HttpPageRecord& page);

} // namespace PageJson
