#include "snpp/snppholdtime.h"

#include "foundation/convert.h"
#include "snpp/snppcommand.h"

#include <QTimeZone>

namespace SnppHoldTime {
namespace {

// "+5", "-0600", "+0130": seconds east of UTC, within a day's half.
std::optional<int> offsetOf(const QByteArray& text)
{
    if (text.size() < 2 || (text[0] != '+' && text[0] != '-'))
        return std::nullopt;
    const QByteArray digits = text.mid(1);
    if (!allDigits(digits) || digits.size() > 4)
        return std::nullopt;
    int hours = 0;
    int minutes = 0;
    if (digits.size() <= 2) {
        hours = digits.toInt();
    } else {
        hours = digits.left(digits.size() - 2).toInt();
        minutes = digits.right(2).toInt();
    }
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    const int seconds = hours * 3600 + minutes * 60;
    return text[0] == '-' ? -seconds : seconds;
}

} // namespace

std::optional<QDateTime> parse(const QByteArray& argument)
{
    const auto [stamp, rest] = SnppCommand::splitWord(argument);
    if (!allDigits(stamp) || (stamp.size() != 10 && stamp.size() != 12))
        return std::nullopt;
    const auto field = [&stamp](int at) { return stamp.mid(at, 2).toInt(); };
    const QDate date(2000 + field(0), field(2), field(4));
    const QTime time(field(6), field(8), stamp.size() == 12 ? field(10) : 0);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    if (rest.isEmpty()) {
        const QDateTime local(date, time);
        return local.isValid() ? std::optional<QDateTime>(local.toUTC()) : std::nullopt;
    }
    const std::optional<int> offset = offsetOf(rest);
    if (!offset)
        return std::nullopt;
    return QDateTime(date, time, QTimeZone(*offset)).toUTC();
}

} // namespace SnppHoldTime
