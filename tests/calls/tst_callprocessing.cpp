#include "calls/callprocessor.h"
#include "calls/companycall.h"

#include "foundation/pacing.h"
#include "paging/tomxpage.h"
#include "queue/messagequeuefile.h"
#include "tests/calls/callfixture.h"

#include <gtest/gtest.h>

namespace {

using Delivery = CallFixture;

TEST_F(Delivery, PagesEveryMessageOfACompanyOnOneCallAndEmptiesTheQueue)
{
    queueMessage("5551234", entry("1234567", "Call the front desk"));
    queueMessage("5551234", entry("7654321", "Lunch at noon", "Bob"));
    ASSERT_EQ(core.queuedCount(), 2);

    m_calls->sendNow();

    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5551234"});
    ASSERT_EQ(m_modem.blocks().size(), 2);
    EXPECT_EQ(m_modem.blocks()[0].pin, "1234567");
    EXPECT_EQ(m_modem.blocks()[0].field, "Call the front desk");
    // The signature follows the message after an LF, in the same block.
    EXPECT_EQ(m_modem.blocks()[1].pin, "7654321");
    EXPECT_EQ(m_modem.blocks()[1].field, "Lunch at noon\nBob");
    EXPECT_TRUE(m_modem.blocks()[0].checksumValid && m_modem.blocks()[1].checksumValid);
    // The modem got the engine's own init string; the configured one is for the dialog only.
    ASSERT_FALSE(m_modem.commands().isEmpty());
    EXPECT_EQ(m_modem.commands().first(), "ATZ");
    EXPECT_EQ(m_modem.hangUps(), 1);

    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_TRUE(sectionKeys("5551234").isEmpty()) << "the company's section was not removed";
    EXPECT_FALSE(engine().PortOpen());
    EXPECT_EQ(core.progress(), QString());
    EXPECT_FALSE(processor().cancelCallEnabled());
    EXPECT_TRUE(processor().sendNowEnabled());
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(u'|').toStdString();
}

TEST_F(Delivery, WritesTheRunsLinesToTheWindowAndTheLog)
{
    queueMessage("5551234", entry("1234567", "Call the front desk"));

    m_calls->sendNow();

    const QStringList window = transmitTexts();
    ASSERT_GE(window.size(), 6) << window.join(u'|').toStdString();
    EXPECT_EQ(window.first(), QStringLiteral("Call Processing Started"));
    EXPECT_EQ(window[1], QStringLiteral("Sending Messages For: 5551234"));
    EXPECT_TRUE(window.contains(QStringLiteral("Sending Messages To: 1234567 From 127.0.0.1")));
    // The engine's progress reaches the window with two blanks after the time.
    EXPECT_TRUE(window.contains(QStringLiteral(" Dialing 5551234")));
    EXPECT_TRUE(window.contains(QStringLiteral(" Message Sent")));
    EXPECT_LT(window.indexOf(QStringLiteral(" Dialing 5551234")),
              window.indexOf(QStringLiteral("Sending Messages To: 1234567 From 127.0.0.1")));
    EXPECT_EQ(window[window.size() - 3], QStringLiteral("Call(s) Compleated"));
    EXPECT_EQ(window[window.size() - 2], QStringLiteral("--------------------------"));
    EXPECT_EQ(window.last(), QString()) << "the hyphens end in CR LF, so an empty line follows";

    const QList<QByteArray> log = logTexts();
    ASSERT_GE(log.size(), 5);
    EXPECT_EQ(log.first(), "Call Processing Started");
    EXPECT_EQ(log[1], "Sending Messages For: 5551234");
    EXPECT_TRUE(log.contains("Sending Messages To: 1234567 From 127.0.0.1"));
    // The end line carries a date-time of its own behind the log's stamp.
    EXPECT_TRUE(log[log.size() - 2].endsWith(" Call(s) Compleated"));
    EXPECT_GT(log[log.size() - 2].size(), QByteArray(" Call(s) Compleated").size());
    EXPECT_EQ(log.last(), "--------------------------");
}

TEST_F(Delivery, SetsTheEngineUpFromTheConfigurationAndTheSection)
{
    CompanyLineSettings settings;
    settings.password = "SECRET";
    settings.length = 100;
    settings.parity = 0;
    settings.dataBits = 3;
    settings.stopBits = 2;
    queueMessage("5550001", entry("1234567", "First"), settings);
    queueMessage("5550001", entry("2345678", "Second"), settings);
    configure([&](TServerConfig& c) { c.FlowControl = 2; });

    m_calls->sendNow();

    EXPECT_EQ(engine().Provider(), "5550001");
    EXPECT_EQ(engine().Password(), "SECRET");
    EXPECT_EQ(engine().MsgLength(), 100);
    EXPECT_EQ(engine().ComPort(), pnCOM1);
    EXPECT_EQ(engine().ComPortSpeed(), br9600);
    EXPECT_EQ(engine().ComPortParity(), ptNONE);
    EXPECT_EQ(engine().ComPortDataBits(), db8BITS);
    EXPECT_EQ(engine().ComPortStopBits(), sb2BITS);
    EXPECT_EQ(engine().ComPortHwHandshaking(), hhNONE);
    EXPECT_EQ(engine().ComPortSwHandshaking(), shXONXOFF);
    EXPECT_EQ(engine().InitString(), "ATZ");
    // The password goes between "PG1" and the CR, and every message of the section is paged.
    ASSERT_FALSE(m_modem.logonLines().isEmpty());
    EXPECT_EQ(m_modem.logonLines().first(), "\x1bPG1SECRET\r");
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1234567", "2345678"}));
    EXPECT_TRUE(sectionKeys("5550001").isEmpty());
}

TEST_F(Delivery, TheTestMessagesSectionIsCalledWithItsOwnSettingsAndNoPassword)
{
    ASSERT_TRUE(core.queue().addTestMessage("5559999", "7777777"));

    m_calls->sendNow();

    EXPECT_EQ(engine().MsgLength(), 140);
    EXPECT_EQ(engine().Password(), QByteArray());
    EXPECT_EQ(engine().ComPortParity(), ptEVEN);
    EXPECT_EQ(engine().ComPortDataBits(), db7BITS);
    ASSERT_FALSE(m_modem.logonLines().isEmpty());
    EXPECT_EQ(m_modem.logonLines().first(), "\x1bPG1\r");
    ASSERT_EQ(m_modem.blocks().size(), 1);
    EXPECT_EQ(m_modem.blocks()[0].pin, "7777777");
    EXPECT_EQ(m_modem.blocks()[0].field, "Zelkor LAN Server Test");
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(Delivery, ABusyCompanyKeepsItsMessagesAndTheNextIsCalledAfterTheHangUpPause)
{
    queueMessage("5550001", entry("1111111", "To the busy one"));
    queueMessage("5550002", entry("2222222", "To the free one"));
    m_modem.setDialResult("5550001", "BUSY");
    QList<qint64> dialledAt;
    m_modem.setOnDial([&](const QByteArray&) { dialledAt.append(m_modem.elapsedMs()); });

    m_calls->sendNow();

    EXPECT_EQ(m_modem.dialled(), (QList<QByteArray>{"5550001", "5550002"}));
    ASSERT_EQ(dialledAt.size(), 2);
    EXPECT_GE(dialledAt[1] - dialledAt[0], pacing.scaled(CompanyCall::HangUpPauseMs))
        << "the second company was dialled before the pause after the first hang-up";

    const QStringList window = transmitTexts();
    EXPECT_TRUE(window.contains(QStringLiteral(" Line Busy")));
    EXPECT_TRUE(window.contains(QStringLiteral("Error Connecting To Paging Network: 5550001")));
    EXPECT_TRUE(logTexts().contains(" Error Connecting To Paging Network: 5550001"));
    EXPECT_FALSE(window.contains(QStringLiteral("Error Connecting To Paging Network: 5550002")));

    EXPECT_EQ(sectionKeys("5550001"),
              (QList<QByteArray>{"Password", "Length", "Parity", "DataBits", "StopBits", "MSG1"}));
    EXPECT_TRUE(sectionKeys("5550002").isEmpty());
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"2222222"});
    EXPECT_EQ(core.queuedCount(), 1);
}

TEST_F(Delivery, ARejectedPinIsLoggedAndItsSenderToldWhileTheOthersGetThrough)
{
    NoticeListener workstation;
    allowNoticesToThisHost();
    configure([&](TServerConfig& c) { c.Port = workstation.port(); });
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    queueMessage("5551234", entry("3333333", "Three"));
    m_modem.queueBlockReplies({ScriptedModem::ack(), ScriptedModem::rs(), ScriptedModem::ack()});

    m_calls->sendNow();

    EXPECT_EQ(m_modem.dialled().size(), 1) << "the third message needs no second call";
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222", "3333333"}));
    const QString error = QStringLiteral(
        "Error Sending Messages To: 2222222 From 127.0.0.1 (Invalid ID Or Bad Link!)");
    EXPECT_TRUE(transmitTexts().contains(error));
    EXPECT_TRUE(logTexts().contains(error.toLatin1()));
    EXPECT_TRUE(transmitTexts().contains(QStringLiteral(" Error: Invalid Number")));
    EXPECT_EQ(workstation.received(),
              "*ER*Error Sending Message To: 2222222 (Invalid ID Or Bad Link!)\r\n");
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_TRUE(sectionKeys("5551234").isEmpty()) << "a failed message is not retried";
}

TEST_F(Delivery, ATerminalDisconnectIsLoggedButNotSentToTheWorkstation)
{
    NoticeListener workstation;
    allowNoticesToThisHost(); // so that only the kind of error keeps the notice back
    configure([&](TServerConfig& c) { c.Port = workstation.port(); });
    queueMessage("5551234", entry("1111111", "One"));
    m_modem.queueBlockReplies({ScriptedModem::endOfCall()});

    m_calls->sendNow();

    EXPECT_TRUE(transmitTexts().contains(QStringLiteral(
        "Error Sending Messages To: 1111111 From 127.0.0.1 (Terminal Disconnected!)")));
    EXPECT_EQ(workstation.connections(), 0);
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(Delivery, AnUnreachableWorkstationDoesNotStopTheRun)
{
    // Port "1" on 127.0.0.1: the notice's connection is refused.
    queueMessage("5551234", entry("1111111", "One"));
    queueMessage("5551234", entry("2222222", "Two"));
    m_modem.queueBlockReplies({ScriptedModem::rs(), ScriptedModem::ack()});

    m_calls->sendNow();

    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222"}));
    EXPECT_TRUE(transmitTexts().contains(QStringLiteral("Call(s) Compleated")));
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(Delivery, AThousandMessageSectionIsDeliveredCompletelyAndOnce)
{
    pacing.setScale(0.002); // a block's pause is 2 ms
    QByteArray text =
        "[5551234]\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n";
    QList<QByteArray> expected;
    for (int n = 1; n <= 1000; ++n) {
        const QueueEntry e =
            entry(QByteArray::number(1000000 + n), "Page " + QByteArray::number(n));
        text += MessageQueueFile::messageKey(n) + '=' + e.format() + "\r\n";
        expected.append(e.pin + ' ' + e.message);
    }
    dir.write(MessageQueueFile::FileName, text);
    core.queue().takeOver();

    m_calls->sendNow();

    QList<QByteArray> delivered;
    for (const ScriptedModem::Block& block : m_modem.blocks()) {
        EXPECT_TRUE(block.checksumValid) << block.field.constData();
        delivered.append(block.pin + ' ' + block.field);
    }
    EXPECT_EQ(delivered, expected) << "every message once, in queue order";
    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5551234"});
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_TRUE(sectionKeys("5551234").isEmpty());
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(u'|').toStdString();
}

} // namespace
