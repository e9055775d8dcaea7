#pragma once

#include <QByteArray>
#include <QList>

// The fields of one decoded data block. Each field is one line: its key, one blank and the
// value. A key takes its value from the first line, in order, that contains the key anywhere,
// cut after (length of key + 1) characters; a key that no line contains has the empty value.
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
};
