// A workstation's conversation beside clients that say nothing, and data blocks that the network
// delivers in parts: real clients on loopback addresses, the server's own durations.

#include "core/transactionlog.h"
#include "queue/messagequeuefile.h"
#include "tests/workstation/submissionserver.h"
#include "workstation/conversationlimits.h"
#include "workstation/submissionconversation.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

class SubmissionStalls : public SubmissionServer
{
protected:
    // From a client thread: waits until the server runs `count` conversations, one inside the
    // other (asked on the server's thread).
    bool nestingReaches(int count)
    {
        for (int tries = 0; tries < 4000; ++tries) {
            std::atomic<int> seen = -1;
            onServer([&] { seen = listener.limits().nesting(); });
            while (seen < 0)
                std::this_thread::sleep_for(1ms);
            if (seen == count)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    // A data block sent in two writes `gapMs` apart, cut after `cut` characters.
    void sendSplit(WorkstationClient& c, const QByteArray& text, qsizetype cut, int gapMs)
    {
        EXPECT_REPLY(c, "DATA", Begin);
        // Past the pause after "354", which takes in whatever arrives during it.
        std::this_thread::sleep_for(150ms);
        EXPECT_TRUE(c.send(text.left(cut)));
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        EXPECT_TRUE(c.send(text.mid(cut)));
    }
};

} // namespace

// Real durations: the silent client's 60-second idle limit lies far beyond the workstation
// client's 20-second safety limit, so a silent connection held that long fails the test.
TEST_F(SubmissionStalls, SilentConnectionAboveAWorkstationIsClosedAndTheWorkstationAnswered)
{
    pacing.setScale(1.0);
    runWhilePumping([&] {
        WorkstationClient workstation;
        ASSERT_TRUE(workstation.connectTo(m_port, "127.0.0.2"));
        EXPECT_REPLY(workstation, "HELO 127.0.0.2", "250 " + host());
        // Accepted inside the workstation's wait: its conversation runs above the workstation's.
        WorkstationClient silent;
        ASSERT_TRUE(silent.connectTo(m_port, "127.0.0.3"));
        ASSERT_TRUE(nestingReaches(2));
        EXPECT_REPLY(workstation, "DATA", Begin);
        EXPECT_REPLY(workstation, block(workedLines()), Accepted);
        EXPECT_REPLY(workstation, "DONE", recieved(1, 4));
        EXPECT_EQ(silent.readUntilClosed().toStdString(), "") << "closed without a reply";
        EXPECT_TRUE(silent.closedByServer());
    });
    EXPECT_EQ(core.queuedCount(), 1);
}

// At a twentieth the first command must come within 250 ms, while the idle limit is 3 s.
TEST_F(SubmissionStalls, AnyFirstCommandEndsTheFirstCommandLimitAndTheIdleLimitHolds)
{
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "NOOP", Unknown);
        std::this_thread::sleep_for(600ms);
        EXPECT_REPLY(c, "PAGE 555", "250 OK");
        std::this_thread::sleep_for(600ms);
        EXPECT_REPLY(c, "DONE", recieved(0, 4));
    });
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        std::this_thread::sleep_for(600ms);
        EXPECT_REPLY(c, block(workedLines()), Accepted);
    });
    converse([&](WorkstationClient& c) { EXPECT_TRUE(c.closedByServer()); });
}

// Silent connections that each arrive before the one beneath has run out would otherwise stack
// their limits and hold the workstation as long as they keep coming.
TEST_F(SubmissionStalls, SilentConnectionsOneAfterAnotherHoldAWorkstationNoLongerThanTheFirst)
{
    pacing.setScale(0.1); // the first command within 500 ms; a silent one every 200 ms
    runWhilePumping([&] {
        WorkstationClient workstation;
        ASSERT_TRUE(workstation.connectTo(m_port, "127.0.0.2"));
        EXPECT_REPLY(workstation, "HELO 127.0.0.2", "250 " + host());
        std::atomic<bool> coming = true;
        std::atomic<bool> answered = false;
        std::thread chain([&] {
            std::vector<std::unique_ptr<WorkstationClient>> silent;
            for (int i = 0; i < 40 && !answered; ++i) {
                silent.push_back(std::make_unique<WorkstationClient>());
                EXPECT_TRUE(
                    silent.back()->connectTo(m_port, "127.0.0." + QByteArray::number(10 + i)));
                std::this_thread::sleep_for(200ms);
            }
            coming = false;
        });
        EXPECT_TRUE(nestingReaches(2));
        EXPECT_REPLY(workstation, "HELO 127.0.0.2", "250 " + host());
        const bool whileComing = coming;
        answered = true;
        chain.join();
        EXPECT_TRUE(whileComing) << "answered only once the silent connections stopped coming";
        EXPECT_REPLY(workstation, "DONE", recieved(0, 4));
    });
}

// A gap of a few milliseconds (a busy sender) or of 200 (a segment sent again) inside a block:
// cut where the Base64 groups are not whole, at a whole group that decodes to a part without
// the length and line settings, and inside the last value.
TEST_F(SubmissionStalls, BlockSplitWithAGapIsTakenAsOneBlock)
{
    pacing.setScale(1.0); // the rest of a block is waited for up to 1 s
    const QByteArray text = block(workedLines());
    const qsizetype cuts[] = {41, 100, text.size() - 4};
    int sent = 0;
    converse([&](WorkstationClient& c) {
        for (const int gapMs : {5, 40, 200}) {
            for (const qsizetype cut : cuts) {
                sendSplit(c, text, cut, gapMs);
                EXPECT_EQ(c.read(Accepted.size()).toStdString(), Accepted.toStdString())
                    << "cut after " << cut << " with a gap of " << gapMs << " ms";
                ++sent;
            }
        }
        EXPECT_REPLY(c, "DONE", recieved(sent, 4));
    });
    EXPECT_EQ(MessageQueueFile(dir.file(MessageQueueFile::FileName)).countMessages(), sent);
    EXPECT_TRUE(core.connectionLog().filter(QStringLiteral("Refused")).isEmpty());
}

// The rest never comes: after the wait the part is handled as it is, and the conversation is
// still in step.
TEST_F(SubmissionStalls, BlockWhoseRestNeverComesIsHandledAsItIsAfterTheWait)
{
    pacing.setScale(1.0);
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()).left(100), "554 Message Rejected: Invalid Length");
        EXPECT_REPLY(c, "DONE", recieved(0, 4));
    });
    EXPECT_FALSE(dir.exists(MessageQueueFile::FileName));
}

TEST_F(SubmissionStalls, EachRefusedBlockGetsOneConnectionLogLineWithItsReason)
{
    configure([&](TServerConfig& c) { c.Logging = true; });
    const QByteArray longNumber = "666" + QByteArray(200, '1');
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"AN: 6661234"})),
                     "551 - (6661234) Provider Access Number Not Allowed");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"PIN: 12\x01"})), "554 Message Rejected: Invalid PIN");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(linesWith({"AN: " + longNumber})),
                     "551 - (" + longNumber + ") Provider Access Number Not Allowed");
        EXPECT_REPLY(c, "DATA", Begin);
        EXPECT_REPLY(c, block(workedLines()), Accepted);
        EXPECT_REPLY(c, "DONE", recieved(1, 4));
    });
    const QStringList refusals = core.connectionLog().filter(QStringLiteral("Refused"));
    EXPECT_EQ(
        refusals,
        (QStringList{QStringLiteral("Message Refused From: 127.0.0.1 (Provider Access Number Not "
                                    "Allowed: 6661234)"),
                     QStringLiteral("Message Refused From: 127.0.0.1 (Invalid PIN)"),
                     QStringLiteral("Message Refused From: 127.0.0.1 (Provider Access Number Not "
                                    "Allowed: ") +
                         QString::fromLatin1(longNumber.left(80)) + QStringLiteral("...)")}))
        << core.connectionLog().join(u'\n').toStdString();
    EXPECT_EQ(core.connectionLog().size(), 3 + 6);
    EXPECT_FALSE(dir.read(TransactionLog::FileName).contains("Refused"));

    // A block over the cap is refused as well; the connection ends after the reply.
    converse([&](WorkstationClient& c) {
        EXPECT_REPLY(c, "DATA", Begin);
        std::this_thread::sleep_for(150ms);
        EXPECT_TRUE(c.send(QByteArray(SubmissionConversation::MaxInput + 10, 'A')));
        EXPECT_EQ(c.readUntilClosed().toStdString(), "554 Message Rejected: Too Large");
    });
    EXPECT_EQ(core.connectionLog().last(),
              QStringLiteral("Message Refused From: 127.0.0.1 (Too Large)"));
}
