#include "paging/tapblockbuilder.h"

#include <cmath>

namespace {
constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char CR = 13;
constexpr char SUB = 26;
// A continued piece is this much shorter than MaxChunk, and the last block may be this much
// longer, to make room for the header and the markers.
constexpr qint64 kContinuedMargin = 20;
constexpr qint64 kLastBlockAllowance = 17;
} // namespace

TapBlockBuilder::TapBlockBuilder(const QByteArray& pin, qint32 msgLength, bool sevenBitLine)
    : m_pin(pin), m_maxChunk(qint64(msgLength) - pin.size() - 25), m_sevenBitLine(sevenBitLine)
{
}

QByteArray TapBlockBuilder::escape(const QByteArray& message, bool sevenBitLine)
{
    QByteArray out;
    out.reserve(message.size());
    for (char c : message) {
        if (c == '\0')
            return out;
        // The line would clear the top bit after the escaping, turning 0x83 into a bare ETX or
        // 0x8D into a CR inside the message field; clearing it first gets such a byte escaped
        // like the control character it becomes. (0x80 becomes a NUL, which frames nothing and
        // does not end the text.)
        if (sevenBitLine)
            c = static_cast<char>(c & 0x7F);
        switch (c) {
        case 13:
            break;
        case 2:
            out.append(SUB).append('B');
            break;
        case 3:
            out.append(SUB).append('C');
            break;
        case 4:
            out.append(SUB).append('D');
            break;
        case 23:
            out.append(SUB).append('W');
            break;
        case 26:
            out.append(SUB).append('Z');
            break;
        case 27:
            out.append(SUB).append('[');
            break;
        case 31:
            out.append(SUB).append('_');
            break;
        default:
            out.append(c);
            break;
        }
    }
    return out;
}

int TapBlockBuilder::blockTotal(qint64 length, qint64 maxChunk)
{
    if (maxChunk <= 0)
        return 0;
    double estimate = double(length) / double(maxChunk);
    if (estimate - std::floor(estimate) < 0.5)
        estimate += 1;
    if (double(maxChunk) < 20 * estimate)
        estimate += 1;
    return static_cast<int>(estimate);
}

QByteArray TapBlockBuilder::checksum(const QByteArray& block)
{
    unsigned sum = 0;
    for (const char c : block)
        sum += static_cast<unsigned char>(c);
    QByteArray out(3, '0');
    out[0] = static_cast<char>('0' + ((sum >> 8) & 0xF));
    out[1] = static_cast<char>('0' + ((sum >> 4) & 0xF));
    out[2] = static_cast<char>('0' + (sum & 0xF));
    return out;
}

bool TapBlockBuilder::build(const QByteArray& working)
{
    m_blocks.clear();
    m_total = blockTotal(working.size(), m_maxChunk);
    QByteArray text = working;
    qint64 allowance = 0;
    do {
        if (m_blocks.size() >= kMaxBlocks)
            break;
        const int number = static_cast<int>(m_blocks.size()) + 1;
        if (text.size() > m_maxChunk + allowance) {
            const qint64 pieceLength = m_maxChunk - kContinuedMargin;
            if (pieceLength < 1)
                return false;
            QByteArray piece = text.left(pieceLength);
            // Cut after the last blank; a piece without one (a long word, an address) is cut
            // where it is.
            const qsizetype blank = piece.lastIndexOf(' ');
            if (blank >= 0)
                piece.truncate(blank + 1);
            m_blocks.append(frame(header(number) + piece + "  (CONT.)"));
            text.remove(0, piece.size());
            allowance = kLastBlockAllowance;
        } else {
            m_blocks.append(frame(number == 1 ? text : header(number) + text + " (END)"));
            text.clear();
        }
    } while (!text.isEmpty());
    return true;
}

QByteArray TapBlockBuilder::header(int number) const
{
    return "(" + QByteArray::number(number) + " of " + QByteArray::number(m_total) + ")  ";
}

QByteArray TapBlockBuilder::frame(const QByteArray& field) const
{
    QByteArray block;
    block.reserve(m_pin.size() + field.size() + 8);
    block.append(STX).append(m_pin).append(CR).append(field).append(CR).append(ETX);
    if (m_sevenBitLine) {
        for (char& c : block)
            c = static_cast<char>(c & 0x7F);
    }
    block.append(checksum(block)).append(CR);
    return block;
}
