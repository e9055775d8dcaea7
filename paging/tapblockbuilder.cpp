#include "paging/tapblockbuilder.h"

#include <cmath>

namespace {
constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char CR = 13;
} // namespace

TapBlockBuilder::TapBlockBuilder(const QByteArray& pin, qint32 msgLength, bool sevenBitLine)
    : m_pin(pin), m_maxChunk(TapSplit::maxChunk(pin.size(), msgLength)),
      m_sevenBitLine(sevenBitLine)
{
}

QByteArray TapBlockBuilder::escape(const QByteArray& message, bool sevenBitLine)
{
    return TapSplit::escape(message, sevenBitLine);
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
    const std::optional<TapSplit::Pieces> split = TapSplit::split(working, m_maxChunk, kMaxBlocks);
    if (!split)
        return false;
    const QList<QByteArray>& pieces = split->pieces;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const bool continued = i + 1 < pieces.size() || split->cut;
        if (continued)
            m_blocks.append(frame(header(number) + pieces.at(i) + "  (CONT.)"));
        else
            m_blocks.append(
                frame(number == 1 ? pieces.at(i) : header(number) + pieces.at(i) + " (END)"));
    }
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
