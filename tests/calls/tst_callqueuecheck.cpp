#include "calls/callprocessor.h"

#include "paging/tomxpage.h"
#include "queue/messagequeuefile.h"
#include "tests/calls/callfixture.h"

#include <gtest/gtest.h>

namespace {

// What the run takes from the queue file: only numbers it may dial now, and every page of every
// section, however the file came to hold it.
using QueueCheck = CallFixture;

QByteArray stored(const QByteArray& pin, const QByteArray& message)
{
    return QueueEntry{message, {}, pin, "127.0.0.1", "Ann"}.format();
}

TEST_F(QueueCheck, ANumberTheAllowListNoLongerAllowsOrAHandMadeSectionIsNotDialled)
{
    // Queued while 555 was allowed; then the list changed.
    queueMessage("5551234", entry("1111111", "Was allowed"));
    queueMessage("5551234", entry("2222222", "Was allowed too"));
    queueMessage("5559876", entry("3333333", "Still allowed"));
    // A section added by hand whose name carries modem commands after an allowed number, in
    // two copies.
    const QByteArray handMade =
        "[19005550000;S0=1]\r\nLength=80\r\nMSG1=" + stored("4444444", "premium") +
        "\r\nMSG2=" + stored("5555555", "premium again") +
        "\r\n[19005550000;S0=1]\r\nMSG1=" + stored("6666666", "more") + "\r\n";
    dir.write(MessageQueueFile::FileName, dir.read(MessageQueueFile::FileName) + handMade);
    core.setAllowList({"5559", "1900"});
    ASSERT_EQ(core.queuedCount(), 3) << "the hand-made pages are not counted: the file decides";

    m_calls->sendNow();

    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5559876"});
    for (const QByteArray& command : m_modem.commands())
        EXPECT_FALSE(command.contains("S0=1") || command.contains("5551234")) << command.data();
    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"3333333"});

    // Once per run and section, in the window and in Log.Dat, however many pages it holds.
    const QStringList window = transmitTexts();
    const QString notAllowed = QStringLiteral("Not Dialled: 5551234 (Access Number Not Allowed)");
    const QString invalid = QStringLiteral("Not Dialled: 19005550000;S0=1 (Invalid Access Number)");
    EXPECT_EQ(window.count(notAllowed), 1) << window.join(u'|').toStdString();
    EXPECT_EQ(window.count(invalid), 1) << window.join(u'|').toStdString();
    EXPECT_EQ(logTexts().count(notAllowed.toLatin1()), 1);
    EXPECT_EQ(logTexts().count(invalid.toLatin1()), 1);

    // Their pages stay, as written, and are counted.
    const QueuedCompany kept = queueFile().readCompany("5551234");
    ASSERT_EQ(kept.messages.size(), 2);
    EXPECT_EQ(QueueEntry::parse(kept.messages[0].value).message, "Was allowed");
    EXPECT_TRUE(dir.read(MessageQueueFile::FileName).endsWith(handMade));
    EXPECT_EQ(queueFile().countMessages(), 5);
    EXPECT_EQ(core.queuedCount(), 5);
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.shown().join(u'|').toStdString();

    // Allowed again: the next run delivers them; the hand-made section is never dialled.
    core.setAllowList({"555", "1900"});
    m_calls->sendNow();
    EXPECT_EQ(m_modem.dialled(), (QList<QByteArray>{"5559876", "5551234"}));
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"3333333", "1111111", "2222222"}));
    EXPECT_EQ(transmitTexts().count(invalid), 2) << "once in each run";
    EXPECT_EQ(core.queuedCount(), 3);
}

// 1,200 pages for one company, written while the counter was not looking: one run pages every one
// of them on one call and leaves nothing behind.
TEST_F(QueueCheck, EveryPageOfASectionBeyondTheKeyListIsDeliveredOnOneCall)
{
    constexpr int Pages = 1200;
    // Only the engine's fixed pauses are shortened further; its waits for the terminal are
    // answered at once by the scripted modem on this thread.
    pacing.setScale(0.002);
    QByteArray file = "[5551234]\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\n"
                      "StopBits=0\r\n";
    for (int n = 1; n <= Pages; ++n)
        file += "MSG" + QByteArray::number(n) + '=' +
                stored(QByteArray::number(1000000 + n), "Page " + QByteArray::number(n)) + "\r\n";
    dir.write(MessageQueueFile::FileName, file);
    ASSERT_EQ(core.queuedCount(), 0) << "the counter missed them all";

    m_calls->sendNow();

    EXPECT_EQ(m_modem.dialled(), QList<QByteArray>{"5551234"});
    ASSERT_EQ(m_modem.blocks().size(), Pages);
    for (int n = 1; n <= Pages; ++n) {
        ASSERT_EQ(m_modem.blocks()[n - 1].field, "Page " + QByteArray::number(n));
        ASSERT_EQ(m_modem.blocks()[n - 1].pin, QByteArray::number(1000000 + n));
    }
    EXPECT_EQ(queueFile().countMessages(), 0);
    EXPECT_TRUE(queueFile().sectionNames().isEmpty()) << "the emptied section stays";
    EXPECT_EQ(core.queuedCount(), 0);
}

// A section that occurs twice, the first copy empty: every copy's pages go out on one call, and
// only once none is left do the copies go.
TEST_F(QueueCheck, EveryCopyOfARepeatedSectionIsDeliveredOnOneCall)
{
    const QByteArray other =
        "[5550002]\r\nLength=80\r\nMSG1=" + stored("9999999", "Other") + "\r\n";
    dir.write(MessageQueueFile::FileName,
              "[5551234]\r\n" + other + "[5551234]\r\nPassword=SECRET\r\nLength=80\r\nMSG1=" +
                  stored("1111111", "First copy") + "\r\nMSG2=" + stored("2222222", "Second") +
                  "\r\n[5551234]\r\nMSG1=" + stored("3333333", "Third") + "\r\n");
    ASSERT_EQ(core.queuedCount(), 0);

    m_calls->sendNow();

    EXPECT_EQ(m_modem.dialled(), (QList<QByteArray>{"5551234", "5550002"}));
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222", "3333333", "9999999"}));
    ASSERT_FALSE(m_modem.logonLines().isEmpty());
    EXPECT_EQ(m_modem.logonLines().first(), "\x1bPG1SECRET\r") << "the settings of a later copy";
    EXPECT_TRUE(dir.read(MessageQueueFile::FileName).isEmpty());
    EXPECT_EQ(core.queuedCount(), 0);
}

// A run stopped in the middle of a repeated section leaves every page it has not tried, in
// whichever copy it is.
TEST_F(QueueCheck, AStopLeavesTheUntriedPagesOfEveryCopy)
{
    dir.write(MessageQueueFile::FileName,
              "[5551234]\r\nLength=80\r\nMSG1=" + stored("1111111", "One") +
                  "\r\n[5551234]\r\nMSG1=" + stored("2222222", "Two") +
                  "\r\nMSG2=" + stored("3333333", "Three") + "\r\n");
    m_modem.setOnBlock([&](const ScriptedModem::Block&) { processor().requestStop(); });

    m_calls->sendNow();

    EXPECT_EQ(deliveredPins(), QList<QByteArray>{"1111111"});
    const QueuedCompany left = queueFile().readCompany("5551234");
    ASSERT_EQ(left.messages.size(), 2);
    EXPECT_EQ(QueueEntry::parse(left.messages[0].value).pin, "2222222");
    EXPECT_EQ(QueueEntry::parse(left.messages[1].value).pin, "3333333");
    EXPECT_EQ(core.queuedCount(), 2);

    m_modem.setOnBlock(nullptr);
    m_calls->sendNow();
    EXPECT_EQ(deliveredPins(), (QList<QByteArray>{"1111111", "2222222", "3333333"}));
    EXPECT_EQ(queueFile().countMessages(), 0);
}

} // namespace
