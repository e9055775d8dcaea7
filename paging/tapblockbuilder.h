#pragma once

#include "foundation/tapsplit.h"

#include <QByteArray>
#include <QList>

// Turns one message into the TAP blocks that carry it: escaping, the split by the paging
// company's message length, the "(n of N)" headers and the checksums.
class TapBlockBuilder final
{
public:
    // The most blocks one message is sent in; text beyond them is not sent.
    static constexpr int kMaxBlocks = TapSplit::MaxBlocks;

    // `sevenBitLine`: the line carries fewer than 8 data bits, so the top bit of every byte is
    // lost on the way; it is cleared in the whole block (the pager ID too) before the checksum
    // is worked out, so that the checksum matches what the terminal receives.
    TapBlockBuilder(const QByteArray& pin, qint32 msgLength, bool sevenBitLine);

    // The escaping of TapSplit::escape.
    static QByteArray escape(const QByteArray& message, bool sevenBitLine = false);
    // The estimated block count printed in the headers (MaxChunk must be positive).
    static int blockTotal(qint64 length, qint64 maxChunk);
    // The three checksum characters of a block from STX through ETX.
    static QByteArray checksum(const QByteArray& block);

    // Builds the blocks for an escaped text from the pieces TapSplit::split cuts it into. False
    // when the text needs more than one block and the message length leaves no room for a continued
    // piece (MaxChunk - 20 below 1).
    bool build(const QByteArray& working);

    qint64 maxChunk() const { return m_maxChunk; }
    int total() const { return m_total; }
    const QList<QByteArray>& blocks() const { return m_blocks; }

private:
    QByteArray frame(const QByteArray& field) const;
    QByteArray header(int number) const;

    QByteArray m_pin;
    qint64 m_maxChunk;
    bool m_sevenBitLine;
    int m_total = 0;
    QList<QByteArray> m_blocks;
};
