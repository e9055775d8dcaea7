#include "server/submissioncheck.h"

#include "foundation/convert.h"
#include "queue/queueentry.h"
#include "server/submissionblock.h"

namespace SubmissionCheck {
namespace {

bool isCodeInRange(const QByteArray& text, qint32 low, qint32 high)
{
    const std::optional<qint32> value = tryStrToInt(text);
    return value && *value >= low && *value <= high;
}

bool holdsControlCharacter(const QByteArray& field)
{
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

} // namespace

bool isDiallable(const QByteArray& number)
{
    bool digit = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != ' ' && c != '-' && c != '(' && c != ')' && c != ',' && c != '*' && c != '#')
            return false;
    }
    return digit;
}

std::optional<QByteArray> rejectionReason(const SubmissionBlock& block)
{
    // The entry's fields are joined by their markers with no escaping: a marker inside a field
    // would shift every field after it when the entry is parsed again.
    for (const QByteArray* field : {&block.message, &block.signature, &block.pin, &block.id}) {
        if (QueueEntry::holdsMarker(*field))
            return QByteArray("Field Holds A Queue Marker");
    }
    // The PIN is sent to the paging terminal as is, ahead of the message.
    if (holdsControlCharacter(block.pin))
        return QByteArray("Invalid PIN");
    // Call processing splits pages by this length and sets the port from the codes: a value it
    // cannot use would stop every later run at that company and hold the queue behind it.
    if (!isCodeInRange(block.length, 1, 9999))
        return QByteArray("Invalid Length");
    if (!isCodeInRange(block.parity, 0, 4))
        return QByteArray("Invalid Parity");
    if (!isCodeInRange(block.dataBits, 0, 3))
        return QByteArray("Invalid Data Bits");
    if (!isCodeInRange(block.stopBits, 0, 2))
        return QByteArray("Invalid Stop Bits");
    return std::nullopt;
}

} // namespace SubmissionCheck
