#pragma once

#include "foundation/widgettext.h"

#include <QByteArray>
#include <QJsonObject>

// What a controller's action answers: the status and the JSON body. Every error body is
// {"error": "..."}.
struct HttpAnswer
{
    int status = 200;
    QJsonObject body;

    static HttpAnswer error(int status, const QByteArray& message)
    {
        return HttpAnswer{status,
                          QJsonObject{{QStringLiteral("error"), WidgetText::fromBytes(message)}}};
    }
};
