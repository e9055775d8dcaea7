#include "paging/tapblockbuilder.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kPin = "1234567";

QByteArray block(const QByteArray& field)
{
    return "\x02" + kPin + "\r" + field + "\r\x03";
}

// The message field of a built block.
QByteArray fieldOf(const QByteArray& built)
{
    const qsizetype start = built.indexOf('\r') + 1;
    const qsizetype etx = built.indexOf('\x03');
    return built.mid(start, etx - 1 - start);
}

QByteArray checksumOf(const QByteArray& built)
{
    return built.mid(built.indexOf('\x03') + 1, 3);
}

TEST(TapBlockBuilder, ChecksumIsTheLowTwelveBitsOfTheByteSumInThreeCharacters)
{
    EXPECT_EQ(TapBlockBuilder::checksum("\x02"
                                        "123\rABC\r\x03"),
              QByteArray("17;"));
    EXPECT_EQ(TapBlockBuilder::checksum(""), QByteArray("000"));
    // Full 8-bit values: 0xFF counts as 255.
    EXPECT_EQ(TapBlockBuilder::checksum(QByteArray(16, '\xFF')), QByteArray("??0"));
    // Only the low 12 bits: 17 x 255 = 4335 = 0x10EF.
    EXPECT_EQ(TapBlockBuilder::checksum(QByteArray(17, '\xFF')), QByteArray("0>?"));
}

TEST(TapBlockBuilder, ShortMessageIsOnePlainBlock)
{
    TapBlockBuilder builder(kPin, 80, false);
    ASSERT_TRUE(builder.build("Call the front desk"));
    EXPECT_EQ(builder.maxChunk(), 48);
    ASSERT_EQ(builder.blocks().size(), 1);
    EXPECT_EQ(builder.blocks().at(0), block("Call the front desk") + "878\r");
}

TEST(TapBlockBuilder, LongerMessageIsCutAtABlankIntoNumberedBlocks)
{
    TapBlockBuilder builder(kPin, 80, false);
    ASSERT_TRUE(builder.build("Meeting moved to room 12 at three, please bring the reports"));
    EXPECT_EQ(builder.total(), 2);
    ASSERT_EQ(builder.blocks().size(), 2);
    EXPECT_EQ(builder.blocks().at(0),
              block("(1 of 2)  Meeting moved to room 12 at   (CONT.)") + "?03\r");
    EXPECT_EQ(builder.blocks().at(1),
              block("(2 of 2)  three, please bring the reports (END)") + "07=\r");
}

TEST(TapBlockBuilder, BlockTotalIsAnEstimate)
{
    const QByteArray fox = "The quick brown fox jumps over the lazy dog and keeps running far "
                           "into the night until dawn breaks again";
    ASSERT_EQ(fox.size(), 104);
    TapBlockBuilder builder(kPin, 80, false);
    ASSERT_TRUE(builder.build(fox));
    EXPECT_EQ(builder.total(), 4);
    ASSERT_EQ(builder.blocks().size(), 3);
    EXPECT_TRUE(fieldOf(builder.blocks().at(0)).startsWith("(1 of 4)  The quick"));
    EXPECT_TRUE(fieldOf(builder.blocks().at(1)).startsWith("(2 of 4)  "));
    EXPECT_TRUE(fieldOf(builder.blocks().at(2)).endsWith("again (END)"));

    EXPECT_EQ(TapBlockBuilder::blockTotal(104, 48), 4);
    EXPECT_EQ(TapBlockBuilder::blockTotal(59, 48), 2);
    EXPECT_EQ(TapBlockBuilder::blockTotal(19, 48), 1);
    EXPECT_EQ(TapBlockBuilder::blockTotal(72, 48), 1); // 1.5: nothing added
    EXPECT_EQ(TapBlockBuilder::blockTotal(400, 100), 5);
    EXPECT_EQ(TapBlockBuilder::blockTotal(10, 0), 0);
}

TEST(TapBlockBuilder, MaxChunkCharactersStillFitOneBlock)
{
    TapBlockBuilder builder(kPin, 80, false);
    const QByteArray exact = QByteArray("word ").repeated(10).left(48);
    ASSERT_TRUE(builder.build(exact));
    ASSERT_EQ(builder.blocks().size(), 1);
    EXPECT_EQ(fieldOf(builder.blocks().at(0)), exact);

    ASSERT_TRUE(builder.build(exact + "x"));
    ASSERT_EQ(builder.blocks().size(), 2);
    EXPECT_TRUE(fieldOf(builder.blocks().at(0)).startsWith("(1 of 2)  word word"));
    EXPECT_TRUE(fieldOf(builder.blocks().at(1)).startsWith("(2 of 2)  "));
}

TEST(TapBlockBuilder, EscapesFramingCharacters)
{
    struct Case
    {
        QByteArray in;
        QByteArray out;
    };
    const Case cases[] = {
        {"a\rb", "ab"},
        {"a\nb", "a\nb"},
        {"\x02\x03\x04", "\x1a"
                         "B\x1a"
                         "C\x1a"
                         "D"},
        {"\x17\x1a\x1b\x1f", "\x1aW\x1aZ\x1a[\x1a_"},
        {"\x01\x05\x06\x15\x1e\x7f\xe9", "\x01\x05\x06\x15\x1e\x7f\xe9"},
        {QByteArray("ab\0cd", 5), "ab"},
        {QByteArray("\0x", 2), ""},
        {"\r\r", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TapBlockBuilder::escape(c.in), c.out) << c.in.toHex().constData();
}

TEST(TapBlockBuilder, EmptyTextStillMakesOneBlock)
{
    TapBlockBuilder builder(kPin, 80, false);
    ASSERT_TRUE(builder.build(""));
    ASSERT_EQ(builder.blocks().size(), 1);
    EXPECT_EQ(fieldOf(builder.blocks().at(0)), QByteArray());
}

TEST(TapBlockBuilder, PieceWithoutABlankIsCutAtItsLength)
{
    TapBlockBuilder builder(kPin, 80, false);
    const QByteArray address = "http://example.invalid/" + QByteArray(40, 'x') + " done";
    ASSERT_TRUE(builder.build(address));
    ASSERT_EQ(builder.blocks().size(), 2);
    EXPECT_EQ(fieldOf(builder.blocks().at(0)), "(1 of 3)  " + address.left(28) + "  (CONT.)");
    EXPECT_EQ(fieldOf(builder.blocks().at(1)), "(2 of 3)  " + address.mid(28) + " (END)");
}

TEST(TapBlockBuilder, MessageLengthWithoutRoomForAPieceIsRefusedOnlyWhenASplitIsNeeded)
{
    // MaxChunk = 52 - 7 - 25 = 20: a continued piece would be empty.
    TapBlockBuilder tight(kPin, 52, false);
    EXPECT_FALSE(tight.build(QByteArray(21, 'a')));
    EXPECT_TRUE(tight.blocks().isEmpty());
    ASSERT_TRUE(tight.build(QByteArray(20, 'a')));
    EXPECT_EQ(tight.blocks().size(), 1);

    TapBlockBuilder negative(kPin, 10, false);
    EXPECT_FALSE(negative.build("hi"));
    TapBlockBuilder huge(kPin, 2147483647, false);
    ASSERT_TRUE(huge.build(QByteArray(1000, 'a')));
    EXPECT_EQ(huge.blocks().size(), 1);

    // The smallest length that works: one character per continued piece.
    TapBlockBuilder smallest(kPin, 53, false);
    ASSERT_TRUE(smallest.build(QByteArray(60, 'a')));
    EXPECT_EQ(smallest.blocks().size(), 20);
}

TEST(TapBlockBuilder, AtMostTwentyBlocksAreBuilt)
{
    TapBlockBuilder builder(kPin, 80, false);
    ASSERT_TRUE(builder.build(QByteArray("abcdefg ").repeated(200)));
    ASSERT_EQ(builder.blocks().size(), 20);
    EXPECT_TRUE(fieldOf(builder.blocks().at(19)).startsWith("(20 of "));
    EXPECT_TRUE(fieldOf(builder.blocks().at(19)).endsWith("  (CONT.)"));
}

TEST(TapBlockBuilder, SevenBitLineClearsTheTopBitBeforeTheChecksum)
{
    TapBlockBuilder eightBit(kPin, 80, false);
    ASSERT_TRUE(eightBit.build("Caf\xe9"));
    EXPECT_EQ(fieldOf(eightBit.blocks().at(0)), QByteArray("Caf\xe9"));
    EXPECT_EQ(checksumOf(eightBit.blocks().at(0)), TapBlockBuilder::checksum(block("Caf\xe9")));

    TapBlockBuilder sevenBit(kPin, 80, true);
    ASSERT_TRUE(sevenBit.build("Caf\xe9"));
    EXPECT_EQ(fieldOf(sevenBit.blocks().at(0)), QByteArray("Cafi"));
    EXPECT_EQ(checksumOf(sevenBit.blocks().at(0)), TapBlockBuilder::checksum(block("Cafi")));
    EXPECT_NE(checksumOf(sevenBit.blocks().at(0)), checksumOf(eightBit.blocks().at(0)));
}

} // namespace
