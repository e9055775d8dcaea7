#include "foundation/convert.h"

#include "foundation/errors.h"

std::optional<qint32> tryStrToInt(const QByteArray& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        // Hexadecimal texts may spell the full 32-bit pattern ($FFFFFFFF is -1).
        if (value > (base == 16 ? 0xFFFFFFFFLL : 0x80000000LL))
            return std::nullopt;
    }
    if (base == 16 && value > 0x7FFFFFFF && !negative)
        return static_cast<qint32>(static_cast<quint32>(value));
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFF || value < -0x80000000LL)
        return std::nullopt;
    return static_cast<qint32>(value);
}

qint32 StrToInt(const QByteArray& text)
{
    if (const auto value = tryStrToInt(text))
        return *value;
    throw EConvertError("'" + text + "' is not a valid integer value");
}

bool allDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}
