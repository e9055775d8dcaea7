#include "net/tsock.h"
#include "tests/support/loopbackclient.h"

#include <QList>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Where the handlers of several connections meet: each waits until all have arrived.
class Meeting
{
public:
    explicit Meeting(int count) : m_count(count) {}
    // True when all arrived within the time.
    bool arriveAndWait()
    {
        std::unique_lock lock(m_mutex);
        ++m_arrived;
        m_changed.notify_all();
        return m_changed.wait_for(lock, std::chrono::seconds(30),
                                  [this] { return m_arrived >= m_count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_arrived = 0;
    const int m_count;
};

// A blocking listener: each connection is served on a thread of its own. Its own events are
// recorded without any locking, as an owner on one thread would.
class BlockingListenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        listener->setPortName("0");
        listener->setAutoAccept(true);
        listener->setBlocking(true);
        listener->setBlockingTimeout(-1);
        listener->setOnInfo([this](TSock&, TSock::TSocketInfo, const QByteArray& text) {
            listenerInfo.append(text);
        });
        listener->setListen(true);
        ASSERT_TRUE(listener->Listen());
        port = listener->LocalPort();
    }
    int connectionCount() const
    {
        return static_cast<int>(listener->findChildren<TSock*>(Qt::FindDirectChildrenOnly).size());
    }

    std::unique_ptr<TSock> listener = std::make_unique<TSock>();
    QList<QByteArray> listenerInfo;
    quint16 port = 0;
};

constexpr int kClients = 3;

TEST_F(BlockingListenerTest, ServesSeveralClientsAtOnceEachOnItsOwnThread)
{
    QThread* const ownerThread = QThread::currentThread();
    Meeting meeting(kClients);
    std::atomic<int> met{0};
    std::atomic<int> offOwnerThread{0};
    std::atomic<int> finished{0};
    listener->setOnAutoAccept([&](TSock&, TSock& client) {
        offOwnerThread += QThread::currentThread() != ownerThread ? 1 : 0;
        QByteArray line;
        while (client.Connected() && !line.endsWith("\r\n"))
            line += client.Receive();
        met += meeting.arriveAndWait() ? 1 : 0;
        client.Send("got " + line);
        client.Close();
        ++finished;
    });
    std::vector<std::unique_ptr<LoopbackClient>> workstations;
    for (int n = 0; n < kClients; ++n) {
        workstations.push_back(std::make_unique<LoopbackClient>(port));
        workstations.back()->send(QByteArray::number(n) + "\r\n");
    }
    ASSERT_TRUE(waitFor([&] { return finished == kClients && connectionCount() == 0; }, 120));
    EXPECT_EQ(met, kClients) << "all conversations ran at the same time";
    EXPECT_EQ(offOwnerThread, kClients);
    for (int n = 0; n < kClients; ++n)
        EXPECT_EQ(workstations[n]->receive(7), "got " + QByteArray::number(n) + "\r\n");
    // The connections' events would have run on their threads: they are not the listener's.
    EXPECT_FALSE(listenerInfo.contains("Blocking Incoming Data"));
    EXPECT_FALSE(listenerInfo.contains("Socket Closed"));
}

// Closing the listener leaves the conversations running; releasing it ends them (also one whose
// connection is closing at that moment) and waits for their handlers.
TEST_F(BlockingListenerTest, ReleaseDuringServiceWakesEveryHandlerAndWaitsForIt)
{
    std::atomic<int> entered{0};
    std::atomic<int> finished{0};
    listener->setOnAutoAccept([&](TSock&, TSock& client) {
        ++entered;
        while (client.Connected())
            client.Receive();
        ++finished;
    });
    std::vector<std::unique_ptr<LoopbackClient>> workstations;
    for (int n = 0; n < kClients; ++n)
        workstations.push_back(std::make_unique<LoopbackClient>(port));
    ASSERT_TRUE(waitFor([&] { return entered == kClients; }, 120));

    listener->Close();
    EXPECT_EQ(finished, 0) << "closing the listener does not end its conversations";
    workstations.front()->close(); // that handler closes its connection while the rest wait
    listener.reset();

    EXPECT_EQ(finished, kClients);
    for (int n = 1; n < kClients; ++n)
        EXPECT_TRUE(workstations[n]->waitForClose()) << n;
}

} // namespace
