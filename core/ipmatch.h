#pragma once

#include <QByteArray>

// Address lists of the configuration (IPAccept, IPDeny): entries separated by single blanks,
// each a dotted pattern of up to four parts where "*" or a missing trailing part matches any
// value. Parts are compared as text, exactly: "010" is not "10", and "19*" is just text.

// True when some entry of `list` matches `address`. An empty list or address never matches; an
// empty entry (a leading blank or two blanks in a row) matches every address. The address is
// compared as given, so one that still carries a line end matches only "*" in its last part.
bool MatchIPList(const QByteArray& address, const QByteArray& list);

// The decision at "HELO": the accept list makes exceptions to the deny list, so an address is
// refused only when the deny list matches and the accept list does not.
bool AddressAdmitted(const QByteArray& address, const QByteArray& ipAccept,
                     const QByteArray& ipDeny);
