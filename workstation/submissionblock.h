#pragma once

#include <QByteArray>
#include <QList>

struct QueueSubmission;

// The fields of one decoded data block, the workstations' own wire format: every field is
// text. Each field is one line: its key, one blank and the value. A key takes its value from
// the first line, in order, that contains the key anywhere, cut after (length of key + 1)
// characters; a key that no line contains has the empty value.
struct SubmissionBlock final
{
    QByteArray message;      // "MSG:"
    QByteArray signature;    // "SIG:"
    QByteArray pin;          // "PIN:"
    QByteArray id;           // "ID:"
    QByteArray accessNumber; // "AN:"
    QByteArray password;     // "PW:"
    QByteArray length;       // "LENGTH:"
    QByteArray parity;       // "PARITY:"
    QByteArray dataBits;     // "DATA:"
    QByteArray stopBits;     // "STOP:"

    // Splits decoded text into lines at CR, LF or CR LF; a zero byte ends the text, and a
    // line end at the very end starts no further line.
    static QList<QByteArray> splitLines(const QByteArray& text);
    static QByteArray fieldValue(const QList<QByteArray>& lines, const QByteArray& key);
    static SubmissionBlock fromLines(const QList<QByteArray>& lines);
    // splitLines, then fromLines.
    static SubmissionBlock fromText(const QByteArray& decoded);

    // The page this block hands in from `sender` (the connection's address), as the queue takes
    // it. The numbers are read here: the length as plain decimal digits (at most nine, no sign,
    // blank or "$"), the line codes as whole numbers (decimal, or "$"/"0x" and hexadecimal). A
    // text that is no such number becomes a value no check lets through (length 0, code -1),
    // so the page is refused naming that field, after the checks that come before it.
    QueueSubmission toSubmission(const QByteArray& sender) const;

    // Whether Base64 text as it came off the connection can be a whole block: its Base64
    // characters ("=" included) come in whole groups of four, and it decodes to a value for
    // every field a page cannot be queued without (PIN, access number, length and the three
    // line setting codes). A block that fails this is either the first part of one still on its
    // way, or one that would be refused anyway.
    static bool mayBeWhole(const QByteArray& encoded);
};
