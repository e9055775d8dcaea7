#pragma once

#include <QByteArray>

#include <optional>

struct QueueEntry;
struct QueueSubmission;

// The checks a page passes before anything of it reaches the queue file, whichever front end it
// came through. The queue entry is parsed at its markers, the line settings drive the serial
// port and the paging terminal, so a careless or hostile client must not be able to break any
// of them. The access number is checked by Admission.
namespace SubmissionCheck {

// The longest value the section/key store gives back whole; a longer entry would be cut off
// when call processing reads it.
constexpr qsizetype MaxEntryLength = 1023;
// The most characters per page a company may be queued with.
constexpr qint32 MaxLength = 9999;

// The short reason for a "554 Message Rejected: " reply, or nothing when the page can be
// queued as it is, checked in this order: the entry reads back into exactly the fields it was
// made of; the PIN is not empty and, like the password, printable ASCII; the addressee holds
// no control characters; the length is 1 to MaxLength; the line setting codes are ones the
// serial port knows; the entry fits the store; the text needs no more blocks than the paging engine
// sends.
std::optional<QByteArray> rejectionReason(const QueueSubmission& submission);

} // namespace SubmissionCheck
