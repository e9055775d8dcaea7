#pragma once

#include "paging/tapblockbuilder.h"

#include <QByteArray>

// What the paging engine itself makes of a page's text, for tests that hold the front ends'
// checks against it.
namespace EngineBlocks {

// The engine sends the whole text: it builds blocks for it (a text it cannot split it refuses)
// and the last one is not a continued piece.
inline bool sendsWhole(const QByteArray& pin, qint32 length, const QByteArray& text,
                       bool sevenBitLine)
{
    TapBlockBuilder builder(pin, length, sevenBitLine);
    if (!builder.build(TapBlockBuilder::escape(text, sevenBitLine)))
        return false;
    const QByteArray& last = builder.blocks().last();
    const qsizetype etx = last.indexOf('\x03');
    return !last.left(etx).endsWith("(CONT.)\r");
}

// The longest text of the characters of `words` (taken in turn) that the engine still sends
// whole with `suffix` after it.
inline QByteArray longestWhole(const QByteArray& pin, qint32 length, bool sevenBitLine,
                               const QByteArray& suffix = {},
                               const QByteArray& words = "disk full on db7 ")
{
    QByteArray text;
    for (qsizetype i = 0;; ++i) {
        const QByteArray longer = text + words.at(i % words.size());
        if (!sendsWhole(pin, length, longer + suffix, sevenBitLine))
            return text;
        text = longer;
    }
}

} // namespace EngineBlocks
