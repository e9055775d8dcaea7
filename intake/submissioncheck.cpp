#include "intake/submissioncheck.h"

#include "foundation/linecodes.h"
#include "foundation/tapsplit.h"
#include "queue/queuesubmission.h"

namespace SubmissionCheck {
namespace {

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

std::optional<QByteArray> rejectionReason(const QueueSubmission& submission)
{
    const QueueEntry& entry = submission.entry;
    const CompanyLineSettings& line = submission.settings;
    // The entry's fields are joined by their markers with no escaping: a marker inside a field
    // would shift the fields after it for any reader. A field may also end in part of a marker
    // that the next marker completes ("m*SIG" before "*PIN*"), so no field may hold a marker,
    // and the joined entry must split back into the very fields it was made of.
    for (const QByteArray* field :
         {&entry.message, &entry.signature, &entry.pin, &entry.addressee}) {
        if (QueueEntry::holdsMarker(*field))
            return QByteArray("Field Holds A Queue Marker");
    }
    if (QueueEntry::parse(entry.format()) != entry)
        return QByteArray("Field Holds A Queue Marker");
    // The PIN and the password are sent to the paging terminal as they are, ahead of the
    // message; the addressee is shown to the operator. An empty PIN pages nobody.
    if (entry.pin.isEmpty() || holdsNonPrintable(entry.pin))
        return QByteArray("Invalid PIN");
    if (holdsNonPrintable(line.password))
        return QByteArray("Invalid Password");
    if (holdsControlCharacter(entry.addressee))
        return QByteArray("Invalid ID");
    // Call processing splits pages by this length and sets the port from the codes: a value it
    // cannot use would stop every later run at that company and hold the queue behind it.
    if (line.length < 1 || line.length > MaxLength)
        return QByteArray("Invalid Length");
    if (!LineCodes::isParity(line.parity))
        return QByteArray("Invalid Parity");
    if (!LineCodes::isDataBits(line.dataBits))
        return QByteArray("Invalid Data Bits");
    if (!LineCodes::isStopBits(line.stopBits))
        return QByteArray("Invalid Stop Bits");
    if (entry.format().size() > MaxEntryLength)
        return QByteArray("Message Too Long");
    // The paging engine sends at most TapSplit::MaxBlocks blocks of a page and drops the rest:
    // a text that needs more at its company's length is refused now, not cut when it is sent.
    if (TapSplit::tooLong(entry.pin, line.length, entry.pageText(),
                          TapSplit::isSevenBitCode(line.dataBits)))
        return QByteArray("Message Too Long");
    return std::nullopt;
}

} // namespace SubmissionCheck
