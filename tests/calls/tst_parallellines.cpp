#include "calls/callprocessor.h"
#include "calls/ilinechooser.h"
#include "tests/calls/callfixture.h"

#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Modem lines on the COM ports given, no routes.
class ModemPorts final : public ILineChooser
{
public:
    explicit ModemPorts(QList<int> ports) : m_ports(std::move(ports)) {}
    std::optional<Route> route(const QByteArray&) const override { return std::nullopt; }
    QList<int> modemPorts() const override { return m_ports; }

private:
    QList<int> m_ports;
};

// A modem is in a call from its dial to its hang-up.
bool inCall(const ScriptedModem& modem)
{
    return modem.dialled().size() > modem.hangUps();
}

QList<QByteArray> sorted(QList<QByteArray> list)
{
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

// COM1 and COM2 are scripted modems, both listed as modem lines.
class ParallelLines : public CallFixture
{
protected:
    void SetUp() override
    {
        CallFixture::SetUp();
        ASSERT_TRUE(m_second.isValid());
        ASSERT_TRUE(m_second.linkAs(dir.path(), 2));
        processor().setLineChooser(&m_lines);
    }

    ScriptedModem m_second;
    ModemPorts m_lines{{1, 2}};
};

TEST_F(ParallelLines, FourCompaniesGoOutOnTwoLinesAtOnceEachOnOneLineEveryPageOnce)
{
    const QList<QByteArray> numbers{"5550001", "5550002", "5550003", "5550004"};
    QList<QByteArray> pins;
    for (int company = 0; company < numbers.size(); ++company) {
        for (int page = 0; page < 2; ++page) {
            const QByteArray pin = QByteArray::number(1000000 + company * 10 + page);
            pins.append(pin);
            queueMessage(numbers[company], entry(pin, "Page " + pin));
        }
    }
    // A block on either line while the other line is in its call shows the two calls at once.
    bool overlapped = false;
    m_modem.setOnBlock(
        [&](const ScriptedModem::Block&) { overlapped = overlapped || inCall(m_second); });
    m_second.setOnBlock(
        [&](const ScriptedModem::Block&) { overlapped = overlapped || inCall(m_modem); });

    m_calls->sendNow();

    EXPECT_TRUE(overlapped) << "the lines took turns instead of calling at once";
    EXPECT_FALSE(m_modem.dialled().isEmpty());
    EXPECT_FALSE(m_second.dialled().isEmpty());
    // Each company called once, on one line.
    EXPECT_EQ(sorted(m_modem.dialled() + m_second.dialled()), numbers);
    // Each page delivered once.
    EXPECT_EQ(sorted(m_modem.pins() + m_second.pins()), sorted(pins));
    EXPECT_EQ(core.queuedCount(), 0);
    for (const QByteArray& number : numbers)
        EXPECT_TRUE(sectionKeys(number).isEmpty()) << number.constData();
    // Lines that take turns in the log are named there.
    const QStringList window = transmitTexts();
    EXPECT_TRUE(window.contains(QStringLiteral("Line: COM1")));
    EXPECT_TRUE(window.contains(QStringLiteral("Line: COM2")));
    EXPECT_EQ(m_modem.hangUps(), m_modem.dialled().size());
    EXPECT_EQ(m_second.hangUps(), m_second.dialled().size());
}

TEST_F(ParallelLines, CancelCallEndsTheCallsOnBothLines)
{
    queueMessage("5550001", entry("1111111", "One", {}, "Ann"));
    queueMessage("5550001", entry("2222222", "Two", {}, "Bert"));
    queueMessage("5550002", entry("3333333", "Three", {}, "Cleo"));
    queueMessage("5550002", entry("4444444", "Four", {}, "Dora"));
    // Both terminals stay silent on their first block; once both have one, the operator
    // hangs up.
    m_modem.queueBlockReplies({ScriptedModem::silence()});
    m_second.queueBlockReplies({ScriptedModem::silence()});
    bool cancelled = false;
    const auto cancelOnceBothWait = [&](const ScriptedModem::Block&) {
        if (cancelled || m_modem.blocks().isEmpty() || m_second.blocks().isEmpty())
            return;
        cancelled = true;
        QTimer::singleShot(0, [this] { m_calls->cancelCall(); });
    };
    m_modem.setOnBlock(cancelOnceBothWait);
    m_second.setOnBlock(cancelOnceBothWait);

    m_calls->sendNow();

    ASSERT_TRUE(cancelled);
    // Neither line sent its block again or went on to the next page.
    EXPECT_EQ(m_modem.blocks().size(), 1);
    EXPECT_EQ(m_second.blocks().size(), 1);
    EXPECT_EQ(m_modem.hangUps(), 1);
    EXPECT_EQ(m_second.hangUps(), 1);
    // As on one line: the page in hand and the rest of its company are reported.
    QStringList shown = prompts.shown();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("error: Error Sending Message To \"Ann\""),
                                  QStringLiteral("error: Error Sending Message To \"Bert\""),
                                  QStringLiteral("error: Error Sending Message To \"Cleo\""),
                                  QStringLiteral("error: Error Sending Message To \"Dora\"")}));
    EXPECT_FALSE(processor().running());
    EXPECT_FALSE(processor().inCall());
}

// A stop asked for while both lines are in a call: each finishes its page in hand, hangs up
// without the modem's pause, and nothing more is dialled.
TEST_F(ParallelLines, AStopEndsBothLinesAfterTheirPageInHand)
{
    for (const QByteArray& number : {QByteArray("5550001"), QByteArray("5550002"),
                                     QByteArray("5550003"), QByteArray("5550004")}) {
        queueMessage(number, entry(number.right(1).repeated(7), "first"));
        queueMessage(number, entry(number.right(1).repeated(7), "second"));
    }
    bool stopped = false;
    const auto stopOnceBothSend = [&](const ScriptedModem::Block&) {
        if (stopped || m_modem.blocks().isEmpty() || m_second.blocks().isEmpty())
            return;
        stopped = true;
        processor().requestStop();
    };
    m_modem.setOnBlock(stopOnceBothSend);
    m_second.setOnBlock(stopOnceBothSend);

    m_calls->sendNow();

    ASSERT_TRUE(stopped);
    // Two companies started, one per line; the other two were never dialled.
    EXPECT_EQ(m_modem.dialled().size() + m_second.dialled().size(), 2);
    EXPECT_LE(m_modem.blocks().size(), 2);
    EXPECT_LE(m_second.blocks().size(), 2);
    EXPECT_EQ(m_modem.hangUps(), 1);
    EXPECT_EQ(m_second.hangUps(), 1);
    // What was not delivered is still queued: every page is either sent or kept.
    qsizetype kept = 0;
    for (const QByteArray& number : {QByteArray("5550001"), QByteArray("5550002"),
                                     QByteArray("5550003"), QByteArray("5550004")}) {
        for (const QByteArray& key : sectionKeys(number))
            kept += key.startsWith("MSG") ? 1 : 0;
    }
    EXPECT_EQ(kept + m_modem.pins().size() + m_second.pins().size(), 8);
    EXPECT_EQ(core.queuedCount(), kept);
}
