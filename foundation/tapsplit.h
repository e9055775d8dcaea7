#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// How a page's text is cut into the pieces of its TAP blocks: the escaping of the characters
// the terminal would take as framing, and the split at the paging company's message length.
// The paging engine builds its blocks from these pieces; the front ends ask the same rule
// whether a text fits, so that a page is refused when it is handed in rather than cut when it
// is sent.
namespace TapSplit {

// The most blocks one message is sent in; text beyond them is not sent.
constexpr int MaxBlocks = 20;

// Control characters the terminal would take as framing become SUB + a letter, CR is dropped,
// and the text ends at its first NUL. On a line of fewer than 8 data bits the top bit of every
// byte is cleared before the escaping, so no byte can reach the terminal as a framing character.
QByteArray escape(const QByteArray& message, bool sevenBitLine = false);

// The most characters of text one block may carry for this PIN and message length (may be zero
// or less when the PIN leaves no room).
qint64 maxChunk(qsizetype pinSize, qint32 msgLength);

// The room a continued piece has: MaxChunk less the header and the "(CONT.)" marker. A text
// that needs more than one block cannot be split when it is below 1.
qint64 continuedPieceLength(qint64 maxChunk);

// The pieces of an escaped text, in order.
struct Pieces
{
    QList<QByteArray> pieces;
    // Text was left over after `limit` pieces.
    bool cut = false;
};

// Splits an escaped text into at most `limit` pieces: a piece that is not the last is cut after
// its last blank (or where it is, when it has none); the last may be a little longer, to make
// room for the header and the markers. Nothing when the text needs more than one block and a
// continued piece has no room.
std::optional<Pieces> split(const QByteArray& working, qint64 maxChunk, int limit);

// The blocks the engine would need to send `message` whole to `pin` at `msgLength`, counted up
// to MaxBlocks + 1; nothing when the text cannot be split at all.
std::optional<int> blocksNeeded(const QByteArray& pin, qint32 msgLength, const QByteArray& message,
                                bool sevenBitLine);

// The engine would not send the message whole: it needs more than MaxBlocks blocks (the engine
// would send only part of it), or it needs more than one and the PIN leaves no room to split it
// (the engine would refuse it).
bool tooLong(const QByteArray& pin, qint32 msgLength, const QByteArray& message, bool sevenBitLine);

// The PIN leaves room for a continued piece at this message length: a page to it can be split
// at all. (A text that fits one block would go, but any longer one would be refused.)
bool pinLeavesRoom(qsizetype pinSize, qint32 msgLength);

// The line setting code for data bits (LineCodes) is one of fewer than 8 bits.
constexpr bool isSevenBitCode(qint32 dataBitsCode)
{
    return dataBitsCode >= 0 && dataBitsCode < 3;
}

} // namespace TapSplit
