#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

#include <functional>
#include <optional>

// The page an Alertmanager notification becomes: "[FIRING:3] DiskFull: <summaries>", the
// status, the alert name, the count of alerts and the alerts' summary annotations (their
// description where an alert has no summary).
namespace AlertText {

struct Parts
{
    QByteArray status;  // "FIRING", "RESOLVED"
    QByteArray name;    // the alert name; empty when the notification names none
    int count = 0;      // alerts in the notification, those Alertmanager left out included
    QByteArray summary; // the summaries, each once, joined by "; "
};

// What the notification says, or nothing when it is no webhook notification (no status or no
// list of alerts).
std::optional<Parts> parts(const QJsonObject& notification);

// "[STATUS:N] name" or, without the count, "[STATUS] name".
QByteArray heading(const Parts& parts, bool withCount);

// The longest page that `fits` takes: the whole text; else the summary cut after a word, with
// "..." where it was cut; the count of alerts is left out when the heading with it leaves no
// room for a word of the summary, and the summary is left out when no word of it fits. Nothing
// when not even the heading without the count fits.
std::optional<QByteArray> fit(const Parts& parts,
                              const std::function<bool(const QByteArray&)>& fits);

} // namespace AlertText
