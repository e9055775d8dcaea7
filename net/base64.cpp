#include "net/base64.h"

namespace {

int alphabetValue(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

constexpr int kPadding = 64;

// Appends the bytes of one group of up to four values; values after the first padding count
// as absent.
void decodeGroup(const int (&values)[4], int filled, QByteArray& out)
{
    int data = 0;
    while (data < filled && values[data] != kPadding)
        ++data;
    if (data < 2)
        return;
    const int v0 = values[0];
    const int v1 = values[1];
    const int v2 = data > 2 ? values[2] : 0;
    const int v3 = data > 3 ? values[3] : 0;
    out.append(static_cast<char>(((v0 << 2) | (v1 >> 4)) & 0xFF));
    if (data > 2)
        out.append(static_cast<char>(((v1 << 4) | (v2 >> 2)) & 0xFF));
    if (data > 3)
        out.append(static_cast<char>(((v2 << 6) | v3) & 0xFF));
}

} // namespace

QByteArray Base64Decode(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size() / 4 * 3 + 3);
    int values[4] = {0, 0, 0, 0};
    int filled = 0;
    for (const char c : text) {
        int value = c == '=' ? kPadding : alphabetValue(c);
        if (value < 0)
            continue;
        values[filled++] = value;
        if (filled == 4) {
            decodeGroup(values, filled, out);
            filled = 0;
        }
    }
    if (filled > 0)
        decodeGroup(values, filled, out);
    return out;
}
