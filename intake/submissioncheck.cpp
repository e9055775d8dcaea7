#include "intake/submissioncheck.h"

#include "core/allowlist.h"
#include "foundation/convert.h"
#include "intake/submissionblock.h"
#include "queue/queueentry.h"

namespace SubmissionCheck {
namespace {

bool isCodeInRange(const QByteArray& text, qint32 low, qint32 high)
{
    const std::optional<qint32> value = tryStrToInt(text);
    return value && *value >= low && *value <= high;
}

// Decimal digits only: no sign, blank, "$" or "0x" that the general conversion would take.
bool isPlainNumberInRange(const QByteArray& text, qint32 low, qint32 high)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    const qint32 value = text.toInt();
    return value >= low && value <= high;
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

// The PIN and the password go to the paging terminal raw, ahead of the message and without the
// message's escaping. On a 7-bit line the top bit is cleared, so a byte of 0x80 or more would
// arrive as a control byte (0x83 as ETX): only printable ASCII can travel there as itself.
bool holdsNonPrintable(const QByteArray& field)
{
    for (const char c : field) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F)
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

AccessNumberCheck checkAccessNumber(const QByteArray& number, const QList<QByteArray>& allowList)
{
    if (!isDiallable(number))
        return AccessNumberCheck::NotDiallable;
    if (!AllowList::allows(allowList, number))
        return AccessNumberCheck::NotAllowed;
    return AccessNumberCheck::Allowed;
}

std::optional<QByteArray> rejectionReason(const SubmissionBlock& block, const QByteArray& sender)
{
    // The entry's fields are joined by their markers with no escaping: a marker inside a field
    // would shift the fields after it for any reader. A field may also end in part of a marker
    // that the next marker completes ("m*SIG" before "*PIN*"), so no field may hold a marker,
    // and the joined entry must split back into the very fields it was made of.
    const QueueEntry entry{block.message, block.signature, block.pin, sender, block.id};
    for (const QByteArray* field : {&block.message, &block.signature, &block.pin, &block.id}) {
        if (QueueEntry::holdsMarker(*field))
            return QByteArray("Field Holds A Queue Marker");
    }
    if (QueueEntry::parse(entry.format()) != entry)
        return QByteArray("Field Holds A Queue Marker");
    // The PIN and the password are sent to the paging terminal as they are, ahead of the
    // message; the addressee is shown to the operator. An empty PIN pages nobody.
    if (block.pin.isEmpty() || holdsNonPrintable(block.pin))
        return QByteArray("Invalid PIN");
    if (holdsNonPrintable(block.password))
        return QByteArray("Invalid Password");
    if (holdsControlCharacter(block.id))
        return QByteArray("Invalid ID");
    // Call processing splits pages by this length and sets the port from the codes: a value it
    // cannot use would stop every later run at that company and hold the queue behind it.
    if (!isPlainNumberInRange(block.length, 1, 9999))
        return QByteArray("Invalid Length");
    if (!isCodeInRange(block.parity, 0, 4))
        return QByteArray("Invalid Parity");
    if (!isCodeInRange(block.dataBits, 0, 3))
        return QByteArray("Invalid Data Bits");
    if (!isCodeInRange(block.stopBits, 0, 2))
        return QByteArray("Invalid Stop Bits");
    if (entry.format().size() > MaxEntryLength)
        return QByteArray("Message Too Long");
    return std::nullopt;
}

} // namespace SubmissionCheck
