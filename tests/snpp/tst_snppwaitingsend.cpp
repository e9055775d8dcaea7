#include "tests/snpp/printbytes.h"
#include "tests/snpp/snppclient.h"

#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppserver.h"
#include "tests/support/workstationclient.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

// A SEND whose pages the queue writes together with other clients' and answers in a later pass:
// the session waits for that answer, and a stop, a disconnect or a failure while it waits leaves
// the client told the truth about its pages.

namespace {

const QByteArray Greeting = SnppProtocol::greeting().trimmed();

void onServerThread(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), work, Qt::BlockingQueuedConnection);
}

// From a client's thread: whether `condition`, asked on the server's thread, comes true within
// the safety limit.
bool serverComesTo(const std::function<bool()>& condition)
{
    for (int waited = 0; waited < SnppClient::SafetyMs; waited += 5) {
        bool held = false;
        onServerThread([&] { held = condition(); });
        if (held)
            return true;
        QThread::msleep(5);
    }
    return false;
}

// Parts whose queue answers only when the test says so. Used on the server's thread only.
struct LaterParts final : ISnppAccess, IPagerDirectory, IPageSink
{
    QList<quint64> tickets;
    QList<Answer> answers;
    QList<quint64> withdrawn;
    mutable int lookups = 0;

    bool addressAdmitted(const QByteArray&) const override { return true; }
    bool mayDial(const QByteArray&) const override { return true; }
    PagerLookup resolve(const QByteArray& id) const override
    {
        ++lookups;
        PagingCompany company;
        company.AccessNumber = "5551234";
        return {{{id, company}}, {}};
    }
    void refused(const QByteArray&, const QByteArray&, const QByteArray&) override {}
    PageSinkResult queue(const QList<SnppPage>&, const QByteArray&) override
    {
        ADD_FAILURE() << "a queue that answers later was asked to queue at once";
        return {};
    }
    std::optional<quint64> queueLater(const QList<SnppPage>&, const QByteArray&,
                                      Answer answer) override
    {
        tickets.append(tickets.size() + 1);
        answers.append(std::move(answer));
        return tickets.last();
    }
    void withdraw(quint64 ticket) override { withdrawn.append(ticket); }
};

class WaitingSend : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SnppTiming timing;
        timing.idleMs = 150;
        m_server.setTiming(timing);
        ASSERT_FALSE(m_server.listen(0));
        m_port = m_server.port();
    }

    // A client whose SEND the queue has taken and not answered yet.
    void startWaiting(SnppClient& client, const QByteArray& after = {})
    {
        ASSERT_EQ(client.line(), Greeting);
        client.send("PAGE alice\r\nMESS one\r\nSEND\r\n" + after);
        EXPECT_EQ(client.line(), "250 Pager ID Accepted");
        EXPECT_EQ(client.line(), "250 Message OK");
        ASSERT_TRUE(serverComesTo([&] { return m_parts.tickets.size() == 1; }));
    }

    void answer(const PageSinkResult& result)
    {
        onServerThread([&] { m_parts.answers.first()(result); });
    }

    LaterParts m_parts;
    SnppServer m_server{m_parts, m_parts, m_parts};
    quint16 m_port = 0;
};

// The idle limit does not run out while the queue writes, and nothing the client sent after
// SEND is read before its answer; then the answer is the reply and the rest is served.
TEST_F(WaitingSend, HoldsTheSessionUntilTheAnswerThenServesWhatFollowed)
{
    runWhilePumping([&] {
        SnppClient client(m_port);
        startWaiting(client, "PAGE bob\r\n");
        QThread::msleep(4 * 150);
        onServerThread([&] {
            EXPECT_EQ(m_server.sessionCount(), 1);
            EXPECT_EQ(m_parts.lookups, 1) << "PAGE bob was read before the SEND was answered";
        });
        answer({PageSinkResult::Status::Queued, {}, {7, 8}});
        EXPECT_EQ(client.line(), "250 Message Sent Successfully (Ids 7,8)");
        EXPECT_EQ(client.line(), "250 Pager ID Accepted");
        EXPECT_EQ(client.command("QUIT"), "221 OK, Goodbye");
    });
    EXPECT_TRUE(m_parts.withdrawn.isEmpty());
}

// A stop while a SEND waits for the queue's next write: the SEND is the command in hand, so its
// pages are not withdrawn and its answer goes out first, then "421".
TEST_F(WaitingSend, AStopWhileASendWaitsGivesItsAnswerFirstThen421)
{
    runWhilePumping([&] {
        SnppClient client(m_port);
        startWaiting(client);
        onServerThread([&] {
            m_server.stop();
            EXPECT_EQ(m_server.sessionCount(), 1);
            m_parts.answers.first()({PageSinkResult::Status::Queued, {}, {3}});
        });
        bool closed = false;
        EXPECT_EQ(client.rest(&closed),
                  "250 Message Sent Successfully (Ids 3)\r\n" + SnppProtocol::shuttingDownReply());
        EXPECT_TRUE(closed);
    });
    EXPECT_TRUE(m_parts.withdrawn.isEmpty());
}

// A client that goes away while it waits withdraws its pages; an answer that comes all the same
// after its session is gone touches nothing.
TEST_F(WaitingSend, AClientThatGoesAwayWithdrawsAndALateAnswerIsDropped)
{
    runWhilePumping([&] {
        {
            SnppClient client(m_port);
            startWaiting(client);
        }
        ASSERT_TRUE(serverComesTo([&] { return m_server.sessionCount() == 0; }));
        // The session's deferred deletion has run by now (the server's loop has turned).
        QThread::msleep(50);
        answer({PageSinkResult::Status::Queued, {}, {1}});
    });
    EXPECT_EQ(m_parts.withdrawn, QList<quint64>{1});
}

// The write failed in a way the server could not answer for: no reply, an orderly close.
TEST_F(WaitingSend, AFailedWriteClosesWithoutAReply)
{
    runWhilePumping([&] {
        SnppClient client(m_port);
        startWaiting(client, "QUIT\r\n");
        answer({PageSinkResult::Status::Failed, {}});
        bool closed = false;
        EXPECT_EQ(client.rest(&closed), QByteArray());
        EXPECT_TRUE(closed);
    });
}

} // namespace
