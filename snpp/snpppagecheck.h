#pragma once

#include "snpp/ipagerdirectory.h"

#include <QByteArray>

#include <optional>

// What the gateway can tell a client of its page before SEND, with the rules the queue and the
// paging engine apply later: a PIN that leaves no room for the text at its company's message
// length, and a text that needs more blocks than the engine sends.
namespace SnppPageCheck {

// The company's message length as the queue takes it, or 0 when it is no length the queue
// takes (the queue refuses such a page at SEND).
qint32 lengthOf(const PagingCompany& company);

// Why a pager cannot be paged at all, or nothing: the PIN leaves the engine no room to split a
// text at the company's length.
std::optional<QByteArray> pinRefusal(const PagerTarget& target);

// The text needs more blocks than the engine sends to this pager.
bool tooLong(const PagerTarget& target, const QByteArray& text);

} // namespace SnppPageCheck
