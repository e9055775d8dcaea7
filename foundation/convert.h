#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Whole-number conversion as the server's texts use it: optional blanks before the number, an
// optional sign, then decimal digits or "$" and hexadecimal digits, within 32 bits.
std::optional<qint32> tryStrToInt(const QByteArray& text);

// As tryStrToInt, but raises EConvertError "'<text>' is not a valid integer value".
qint32 StrToInt(const QByteArray& text);

// True when `text` is one or more decimal digits and nothing else (no sign, no blanks).
bool allDigits(QByteArrayView text);
