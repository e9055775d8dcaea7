#pragma once

#include <QByteArray>
#include <QDateTime>

#include <optional>

// The time a client asks its page to be held until: "YYMMDDHHMM[SS] [+/-GMT difference]", the
// difference in hours or hours and minutes ("-5", "+0130"); without one, the server's local
// time. Years are 2000 to 2099.
namespace SnppHoldTime {

// The time in UTC, or nothing when the argument is no such time.
std::optional<QDateTime> parse(const QByteArray& argument);

} // namespace SnppHoldTime
