#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

struct SubmissionBlock;

// The checks a data block passes before anything of it reaches the queue file. The queue entry
// is parsed at its markers, the line settings drive the serial port and the access number is
// dialled by the modem, so a careless or hostile workstation must not be able to break any of
// them.
namespace SubmissionCheck {

// The longest value the section/key store gives back whole; a longer entry would be cut off
// when call processing reads it.
constexpr qsizetype MaxEntryLength = 1023;

// True when `number` holds at least one digit and nothing but dialling characters: digits,
// blanks, "-", "(", ")", ",", "*" and "#". Anything else could reach the modem as a command.
bool isDiallable(const QByteArray& number);

// Whether an access number may be dialled with this allow list: it must be diallable and a line
// of the list must allow it. The workstations' and the gateway's pages are checked with it
// before they are queued, and call processing again before it dials, since the list may have
// changed meanwhile and the queue file may have been edited by hand.
enum class AccessNumberCheck { Allowed, NotDiallable, NotAllowed };
AccessNumberCheck checkAccessNumber(const QByteArray& number, const QList<QByteArray>& allowList);

// The short reason for a "554 Message Rejected: " reply, or nothing when the block can be
// queued as it is: the entry it forms with `sender` reads back into exactly the fields that
// were sent, the PIN, password and addressee hold no control characters, the PIN is not empty,
// the length is plain decimal digits from 1 to 9999, the line setting codes are ones the serial
// port knows, and the entry fits the store. The access number is checked separately.
std::optional<QByteArray> rejectionReason(const SubmissionBlock& block, const QByteArray& sender);

} // namespace SubmissionCheck
