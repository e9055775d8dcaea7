#pragma once

#include "http/alertdeduplicator.h"
#include "http/httpanswer.h"

#include <QByteArray>
#include <QJsonObject>

class IHttpPageIntake;

// POST /api/v1/alertmanager/{to}: Alertmanager's webhook (version 4). Each notification
// becomes one page to the pager ID {to}, fitted to its company's length. A 2xx answer means the
// page is in the queue, durably; a notification that was not queued is answered 5xx, so that
// Alertmanager tries it again (the operator may fix the lists meanwhile), unless it could never
// be queued as sent (400).
class AlertmanagerController final
{
public:
    explicit AlertmanagerController(IHttpPageIntake& intake, AlertDeduplicator::Clock clock = {});

    // 202 {"pages": [...]} when queued; 200 {"pages": [...], "duplicate": true} when an equal
    // notification was queued within the last ten minutes (nothing is queued again).
    HttpAnswer notify(const QByteArray& to, const QJsonObject& notification,
                      const QByteArray& sender);

private:
    IHttpPageIntake& m_intake;
    AlertDeduplicator m_seen;
};
