#include "core/serverstate.h"
#include "net/tsock.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/runtime/runningserver.h"
#include "workstation/serverlistener.h"

#include <gtest/gtest.h>

namespace {

// The service's stop: nothing is asked, the queue stays for the next start, and a call in
// progress ends after the page in hand, or at once when the stop is asked for again.
class Stop : public RunningServerTest
{
protected:
    void SetUp() override
    {
        RunningServerTest::SetUp();
        QObject::connect(&runtime, &ServerRuntime::stopped, [this] { ++stopped; });
        queueMessage("1111111");
        queueMessage("2222222");
        // The terminal holds its answer to the first page until the test sends it.
        modem.queueBlockReplies({ScriptedModem::silence()});
    }
    QByteArray queueFile() const { return dir.read(MessageQueueFile::FileName); }
    bool logged(const char* line) const
    {
        return core.connectionLog().contains(QLatin1String(line)) &&
               logTexts().contains(QByteArray(line));
    }

    int stopped = 0;
};

TEST_F(Stop, DuringACallThePageInHandIsFinishedAndTheRestKept)
{
    int stoppedDuringCall = -1;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (modem.blocks().size() != 1)
            return;
        runtime.stop();
        stoppedDuringCall = stopped;
        modem.sendRaw(ScriptedModem::ack());
    });

    runtime.sendNow();

    EXPECT_EQ(stoppedDuringCall, 0) << "stopped() came while the call still ran";
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(modem.pins(), QList<QByteArray>{"1111111"});
    EXPECT_FALSE(modem.lineOpen());
    EXPECT_TRUE(logged("Stopping: the call in progress ends after its current message"));
    EXPECT_FALSE(queueFile().contains("Hello 1111111"));
    EXPECT_TRUE(queueFile().contains("Hello 2222222"));
    EXPECT_FALSE(runtime.listener().Sock1().Listen());
}

TEST_F(Stop, ASecondStopDuringTheCallHangsItUpAtOnce)
{
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (modem.blocks().size() != 1)
            return;
        runtime.stop();
        runtime.stop();
    });

    runtime.sendNow();

    EXPECT_EQ(modem.blocks().size(), 1) << "the call went on after the second stop";
    EXPECT_FALSE(modem.lineOpen());
    EXPECT_TRUE(logged("Stopping: the call in progress ends after its current message"));
    EXPECT_TRUE(logged("Stopping now: the call in progress is hung up"));
    EXPECT_EQ(stopped, 1);
    EXPECT_TRUE(queueFile().contains("Hello 2222222"));
}

TEST_F(Stop, WithNothingRunningItStopsAtOnce)
{
    runtime.stop();
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(runtime.listener().Sock1().Listen());
    EXPECT_EQ(MessageQueueFile(core.queue().path()).countMessages(), 2);
    EXPECT_TRUE(core.connectionLog().filter(QStringLiteral("Stopping")).isEmpty());
    // Whatever ends afterwards, stopped() is said once.
    runtime.stop();
    modem.queueBlockReplies({ScriptedModem::ack()});
    runtime.sendNow();
    ASSERT_EQ(modem.blocks().size(), 2) << "the run after the stop did not call";
    EXPECT_EQ(stopped, 1);
}

} // namespace
