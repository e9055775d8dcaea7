#include "enginetest.h"

#include <QTimer>

namespace {

using Texts = QList<QByteArray>;

class SendPageTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        page.setMsgLength(80);
    }
};

TEST_F(SendPageTest, ShortMessageGoesAsOnePlainBlock)
{
    connectQuietly();
    EXPECT_TRUE(page.SendPage("1234567", "Call the front desk"));
    ASSERT_EQ(modem.blocks().size(), 1);
    const ScriptedModem::Block& b = modem.blocks().first();
    EXPECT_EQ(b.raw, QByteArray("\x02"
                                "1234567\rCall the front desk\r\x03"
                                "878\r"));
    EXPECT_TRUE(b.checksumValid);
    EXPECT_EQ(progress,
              (Texts{"Sending Message To 1234567", "Sending Block 1 of 1", "Message Sent"}));
    EXPECT_EQ(page.PinNumber(), QByteArray("1234567"));
    EXPECT_EQ(page.Message(), QByteArray("Call the front desk"));
    EXPECT_TRUE(page.PortOpen());
}

TEST_F(SendPageTest, CodedAcknowledgementsCountAsDelivered)
{
    connectQuietly();
    modem.queueBlockReplies({"211\r\x06\r", "213\r\x06\r"});
    EXPECT_TRUE(page.SendPage("1234567", "one"));
    EXPECT_TRUE(page.SendPage("7654321", "two"));
    EXPECT_EQ(progress.at(2), QByteArray("Message Delivered"));
    EXPECT_EQ(progress.at(5), QByteArray("Deferred Message Delivery"));
    ASSERT_EQ(modem.blocks().size(), 2);
    EXPECT_EQ(modem.blocks().at(1).pin, QByteArray("7654321"));
}

TEST_F(SendPageTest, LongMessageGoesInNumberedBlocksOneSecondApart)
{
    connectQuietly();
    const QByteArray fox = "The quick brown fox jumps over the lazy dog and keeps running far "
                           "into the night until dawn breaks again";
    EXPECT_TRUE(page.SendPage("1234567", fox));
    const QList<ScriptedModem::Block> blocks = modem.blocks();
    ASSERT_EQ(blocks.size(), 3);
    EXPECT_TRUE(blocks.at(0).field.startsWith("(1 of 4)  "));
    EXPECT_TRUE(blocks.at(2).field.endsWith(" (END)"));
    for (const ScriptedModem::Block& b : blocks)
        EXPECT_TRUE(b.checksumValid) << b.field.constData();
    EXPECT_GE(blocks.at(1).arrivedMs - blocks.at(0).arrivedMs, pacing.scaled(1000));
    EXPECT_GE(blocks.at(2).arrivedMs - blocks.at(1).arrivedMs, pacing.scaled(1000));
    EXPECT_EQ(progress, (Texts{"Sending Message To 1234567", "Sending Block 1 of 3", "Message Sent",
                               "Sending Block 2 of 3", "Message Sent", "Sending Block 3 of 3",
                               "Message Sent"}));
}

TEST_F(SendPageTest, ControlCharactersAreEscapedOnTheWire)
{
    connectQuietly();
    EXPECT_TRUE(page.SendPage("1234567", "a\x1b"
                                         "b\r\nc"));
    ASSERT_EQ(modem.blocks().size(), 1);
    EXPECT_EQ(modem.blocks().first().field, QByteArray("a\x1a[b\nc"));
    EXPECT_TRUE(modem.blocks().first().checksumValid);
}

TEST_F(SendPageTest, ChecksumErrorResendsTheBlock)
{
    connectQuietly();
    modem.queueBlockReplies({ScriptedModem::nak(), ScriptedModem::ack()});
    EXPECT_TRUE(page.SendPage("1234567", "Call the front desk"));
    ASSERT_EQ(modem.blocks().size(), 2);
    EXPECT_EQ(modem.blocks().at(0).raw, modem.blocks().at(1).raw);
    EXPECT_EQ(progress, (Texts{"Sending Message To 1234567", "Sending Block 1 of 1",
                               "Error: Checksum Error-Retransmitting", "Sending Block 1 of 1",
                               "Message Sent"}));
}

TEST_F(SendPageTest, FourthChecksumErrorFailsTheMessageAndKeepsTheCall)
{
    connectQuietly();
    modem.queueBlockReplies(Texts(4, ScriptedModem::nak()) + Texts{ScriptedModem::ack()});
    EXPECT_EQ(pageErrorOf([&] { page.SendPage("1234567", "Call the front desk"); }), 3);
    EXPECT_EQ(modem.blocks().size(), 4);
    EXPECT_EQ(progress.count("Error: Checksum Error-Retransmitting"), 3);
    EXPECT_TRUE(page.PortOpen());
    EXPECT_TRUE(page.SendPage("1234567", "next one"));
}

TEST_F(SendPageTest, TerminalFailuresKeepThePortOpen)
{
    struct Case
    {
        QByteArray reply;
        QByteArray text;
        int code;
    };
    const Case cases[] = {
        {ScriptedModem::rs(), "Error: Invalid Number", 4},
        {ScriptedModem::endOfCall(), "Paging Terminal Disconnected", 18},
        {ScriptedModem::silence(), "No Response From Terminal", 0},
    };
    connectQuietly();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.constData());
        progress.clear();
        modem.queueBlockReplies({c.reply});
        EXPECT_EQ(pageErrorOf([&] { page.SendPage("1234567", QByteArray(60, 'x')); }), c.code);
        EXPECT_EQ(progress.last(), c.text);
        EXPECT_EQ(progress.count("Sending Block 1 of 2"), 1) << "the remaining blocks are not sent";
        EXPECT_TRUE(page.PortOpen());
    }
    EXPECT_EQ(modem.blocks().size(), 3);
}

TEST_F(SendPageTest, EmptyMessageClosesThePortAndLaterMessagesAreNotSent)
{
    connectQuietly();
    EXPECT_EQ(pageErrorOf([&] { page.SendPage("1234567", ""); }), 8);
    EXPECT_FALSE(page.PortOpen());
    EXPECT_TRUE(modem.waitForHangUp(30));
    EXPECT_FALSE(page.SendPage("1234567", "after"));
    EXPECT_TRUE(modem.blocks().isEmpty());
}

TEST_F(SendPageTest, AccentedLetterPassesOnASevenBitLine)
{
    page.setComPortDataBits(db7BITS);
    page.setComPortParity(ptEVEN);
    modem.setSevenBitLine(true);
    connectQuietly();
    EXPECT_TRUE(page.SendPage("1234567", "Caf\xe9 at noon"));
    ASSERT_EQ(modem.blocks().size(), 1);
    EXPECT_TRUE(modem.blocks().first().checksumValid);
    EXPECT_EQ(progress.last(), QByteArray("Message Sent"));
}

// What the terminal makes of a message field: SUB + letter stands for the control character.
QByteArray unescaped(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\x1a' && i + 1 < field.size())
            out.append(static_cast<char>(field.at(++i) - 0x40));
        else
            out.append(field.at(i));
    }
    return out;
}

TEST_F(SendPageTest, EveryHighByteOnASevenBitLineArrivesEscapedInABlockThatChecksums)
{
    page.setComPortDataBits(db7BITS);
    page.setComPortParity(ptEVEN);
    modem.setSevenBitLine(true);
    connectQuietly();
    const QByteArray framing("\x02\x03\x04\x17\x1b\x1f\r", 7);
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        SCOPED_TRACE(byte);
        const QByteArray message = "a" + QByteArray(1, char(byte)) + "z";
        EXPECT_TRUE(page.SendPage("1234567", message));
        const ScriptedModem::Block& b = modem.blocks().last();
        EXPECT_TRUE(b.checksumValid);
        EXPECT_EQ(b.pin, QByteArray("1234567"));
        for (const char c : b.field)
            EXPECT_FALSE(framing.contains(c)) << "bare framing byte " << int(c) << " in the field";
        // A SUB only ever starts an escape, and the field reads back as the 7-bit message
        // (a CR is dropped from any message).
        const char sent = char(byte & 0x7F);
        EXPECT_EQ(unescaped(b.field),
                  sent == '\r' ? QByteArray("az") : "a" + QByteArray(1, sent) + "z");
    }
    EXPECT_EQ(modem.blocks().size(), 128) << "a block was sent more than once";
}

TEST_F(SendPageTest, EightBitLineCarriesTheFullByte)
{
    connectQuietly();
    EXPECT_TRUE(page.SendPage("1234567", "Caf\xe9"));
    ASSERT_EQ(modem.blocks().size(), 1);
    EXPECT_EQ(modem.blocks().first().field, QByteArray("Caf\xe9"));
    EXPECT_TRUE(modem.blocks().first().checksumValid);
}

TEST_F(SendPageTest, PagerIdTooLongForTheMessageLengthIsRefused)
{
    connectQuietly();
    page.setMsgLength(40);
    EXPECT_EQ(pageErrorOf([&] { page.SendPage("1234567", "more than eight characters"); }), 4);
    EXPECT_TRUE(modem.blocks().isEmpty());
    EXPECT_TRUE(page.PortOpen());
    EXPECT_TRUE(page.SendPage("1234567", "short"));
}

TEST_F(SendPageTest, ClosedPortSendsNothing)
{
    EXPECT_FALSE(page.SendPage("1234567", "hello"));
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_TRUE(modem.received().isEmpty());
}

TEST_F(SendPageTest, CancelWhileWaitingForTheTerminalReturnsFalse)
{
    connectQuietly();
    modem.queueBlockReplies({ScriptedModem::silence()});
    modem.setOnBlock([&](const ScriptedModem::Block&) { page.Disconnect(); });
    bool sent = true;
    EXPECT_NO_THROW(sent = page.SendPage("1234567", "hello"));
    EXPECT_FALSE(sent);
    EXPECT_FALSE(page.PortOpen());
    EXPECT_EQ(progress, (Texts{"Sending Message To 1234567", "Sending Block 1 of 1",
                               "Disconnecting...", "No Response From Terminal"}));
    EXPECT_FALSE(page.SendPage("1234567", "after the cancel"));
}

TEST_F(SendPageTest, DisconnectSaysGoodbyeAndHangsUp)
{
    connectQuietly();
    EXPECT_FALSE(page.Disconnect());
    EXPECT_EQ(progress, Texts{"Disconnecting..."});
    EXPECT_TRUE(page.Aborted());
    EXPECT_TRUE(modem.waitForHangUp(30));
    EXPECT_TRUE(modem.endOfCallReceived());
    EXPECT_TRUE(modem.received().endsWith("\x1b\x04\r"));

    progress.clear();
    EXPECT_FALSE(page.Disconnect());
    EXPECT_TRUE(progress.isEmpty()) << "nothing to end on a closed port";
}

TEST_F(SendPageTest, CancelCallDuringTheHangUpPauseEndsTheCallOnce)
{
    connectQuietly();
    // The operator's Cancel Call is waiting in the event queue when the hang-up pumps it.
    QTimer::singleShot(0, &page, [this] { page.Disconnect(); });
    EXPECT_FALSE(page.Disconnect());
    EXPECT_EQ(progress, Texts{"Disconnecting..."});
    EXPECT_TRUE(modem.waitForHangUp(30));
    EXPECT_EQ(modem.received().count("\x1b\x04\r"), 1);
}

} // namespace
