#pragma once

#include <QByteArray>

// Decodes a Base64 block (standard alphabet, "=" as padding) as the workstations send it.
//
// Well-formed text decodes group by group of four characters; a group ending in "=" or "=="
// gives two or one bytes, and decoding goes on with the next group, so blocks that were
// joined together decode one after the other.
//
// Damaged text never fails and is never read beyond its end:
// - characters outside the alphabet other than "=" (CR, LF, blanks, anything else) are skipped;
// - a last group cut short counts as padded: two characters give one byte, three give two, a
//   single character gives nothing;
// - a group gives the bytes of the characters before its first "=", so "=" in the first or
//   second place of a group gives nothing for that group.
QByteArray Base64Decode(const QByteArray& text);
