// The front ends refuse a text as too long with TapSplit; the engine builds its blocks with
// TapBlockBuilder. Both must say the same of every text, or a page is cut while reported sent.

#include "foundation/tapsplit.h"
#include "paging/tapblockbuilder.h"
#include "tests/support/engineblocks.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

QByteArray randomText(QRandomGenerator& random, qsizetype size)
{
    // Mostly words, with the bytes the escaping lengthens, drops or ends at.
    static const QByteArray common = "abcdefghij      0123456789.,";
    static const char rare[] = {'\x02', '\x03', '\x0d', '\x1a', '\x1b', '\x82', '\x8d'};
    QByteArray text;
    text.reserve(size);
    for (qsizetype i = 0; i < size; ++i) {
        if (random.bounded(8000) == 0)
            text += '\0';
        else if (random.bounded(40) == 0)
            text += rare[random.bounded(int(sizeof rare))];
        else
            text += common.at(random.bounded(common.size()));
    }
    return text;
}

} // namespace

TEST(TapSplit, TooLongAgreesWithTheBlocksTheEngineBuildsForRandomTextsAndLengths)
{
    QRandomGenerator random(2323);
    int tooLong = 0;
    int whole = 0;
    for (int i = 0; i < 4000; ++i) {
        const QByteArray pin(1 + random.bounded(16), '7');
        const qint32 length = 30 + static_cast<qint32>(random.bounded(300));
        const bool sevenBit = random.bounded(2) == 1;
        const QByteArray text = randomText(random, random.bounded(3000));
        const bool refused = TapSplit::tooLong(pin, length, text, sevenBit);
        ASSERT_EQ(refused, !EngineBlocks::sendsWhole(pin, length, text, sevenBit))
            << "length " << length << ", PIN of " << pin.size() << ", " << text.size()
            << " characters, seven-bit " << sevenBit;
        (refused ? tooLong : whole) += 1;

        TapBlockBuilder builder(pin, length, sevenBit);
        const std::optional<int> needed = TapSplit::blocksNeeded(pin, length, text, sevenBit);
        ASSERT_EQ(needed.has_value(), builder.build(TapBlockBuilder::escape(text, sevenBit)));
        if (needed && !refused) {
            ASSERT_EQ(*needed, builder.blocks().size());
        }
    }
    // Both sides of the limit were tried many times.
    EXPECT_GT(tooLong, 300);
    EXPECT_GT(whole, 300);
}

TEST(TapSplit, TheLimitIsTwentyBlocksAndAPinWithoutRoomIsNamed)
{
    const QByteArray pin = "1234567";
    const QByteArray fits = EngineBlocks::longestWhole(pin, 80, true);
    EXPECT_EQ(TapSplit::blocksNeeded(pin, 80, fits, true), 20);
    EXPECT_FALSE(TapSplit::tooLong(pin, 80, fits, true));
    EXPECT_TRUE(TapSplit::tooLong(pin, 80, fits + "x", true));
    // 949 characters at length 80 need far more than twenty blocks.
    EXPECT_TRUE(TapSplit::tooLong(pin, 80, QByteArray(949, 'y'), true));

    // At length 80 a 34-digit PIN leaves exactly one character for a continued piece.
    EXPECT_TRUE(TapSplit::pinLeavesRoom(34, 80));
    EXPECT_FALSE(TapSplit::pinLeavesRoom(35, 80));
    EXPECT_FALSE(TapSplit::pinLeavesRoom(40, 80));
}
