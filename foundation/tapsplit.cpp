#include "foundation/tapsplit.h"

namespace TapSplit {
namespace {
constexpr char SUB = 26;
// A block's frame and header take this much of the company's message length beside the PIN.
constexpr qint64 kFrameAllowance = 25;
// A continued piece is this much shorter than MaxChunk, and the last block may be this much
// longer, to make room for the header and the markers.
constexpr qint64 kContinuedMargin = 20;
constexpr qint64 kLastBlockAllowance = 17;
} // namespace

QByteArray escape(const QByteArray& message, bool sevenBitLine)
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

qint64 maxChunk(qsizetype pinSize, qint32 msgLength)
{
    return qint64(msgLength) - pinSize - kFrameAllowance;
}

qint64 continuedPieceLength(qint64 maxChunk)
{
    return maxChunk - kContinuedMargin;
}

std::optional<Pieces> split(const QByteArray& working, qint64 maxChunk, int limit)
{
    Pieces result;
    qsizetype at = 0;
    qint64 allowance = 0;
    do {
        if (result.pieces.size() >= limit) {
            result.cut = true;
            break;
        }
        const qsizetype rest = working.size() - at;
        if (rest > maxChunk + allowance) {
            const qint64 pieceLength = continuedPieceLength(maxChunk);
            if (pieceLength < 1)
                return std::nullopt;
            QByteArray piece = working.mid(at, pieceLength);
            // Cut after the last blank; a piece without one (a long word, an address) is cut
            // where it is.
            const qsizetype blank = piece.lastIndexOf(' ');
            if (blank >= 0)
                piece.truncate(blank + 1);
            at += piece.size();
            result.pieces.append(std::move(piece));
            allowance = kLastBlockAllowance;
        } else {
            result.pieces.append(working.mid(at));
            at = working.size();
        }
    } while (at < working.size());
    return result;
}

std::optional<int> blocksNeeded(const QByteArray& pin, qint32 msgLength, const QByteArray& message,
                                bool sevenBitLine)
{
    const std::optional<Pieces> pieces =
        split(escape(message, sevenBitLine), maxChunk(pin.size(), msgLength), MaxBlocks + 1);
    if (!pieces)
        return std::nullopt;
    return static_cast<int>(pieces->pieces.size());
}

bool tooLong(const QByteArray& pin, qint32 msgLength, const QByteArray& message, bool sevenBitLine)
{
    const std::optional<int> blocks = blocksNeeded(pin, msgLength, message, sevenBitLine);
    // A text that cannot be split at all (the PIN leaves no room for a continued piece) is not
    // sent by the engine either: it can never reach the pager at this length.
    return !blocks || *blocks > MaxBlocks;
}

bool pinLeavesRoom(qsizetype pinSize, qint32 msgLength)
{
    return continuedPieceLength(maxChunk(pinSize, msgLength)) >= 1;
}

} // namespace TapSplit
