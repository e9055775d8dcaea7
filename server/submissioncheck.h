#pragma once

#include <QByteArray>

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

// The short reason for a "554 Message Rejected: " reply, or nothing when the block's line
// settings, markers and PIN are sound. The access number is checked separately.
std::optional<QByteArray> rejectionReason(const SubmissionBlock& block);

} // namespace SubmissionCheck
