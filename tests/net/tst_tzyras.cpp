#include "foundation/pacing.h"
#include "net/eraserror.h"
#include "net/esockexception.h"
#include "net/etimedouterror.h"
#include "net/tsock.h"
#include "net/tzyras.h"
#include "tests/net/fakerasplatform.h"
#include "tests/support/loopbackclient.h"
#include "tests/support/scriptedprompts.h"

#include <gtest/gtest.h>

namespace {

class DialUpTest : public ::testing::Test
{
protected:
    void SetUp() override { platform->entries = {"Office", "Home ISP"}; }

    Pacing pacing{0.01};
    std::shared_ptr<FakeRasPlatform> platform = std::make_shared<FakeRasPlatform>();
    ScriptedPrompts prompts;
};

TEST(DialUpMissing, WithoutTheLibraryNothingDialsAndSocketsStillWork)
{
    ScriptedPrompts prompts;
    TzyRas ras(nullptr, {}, &prompts);
    EXPECT_FALSE(ras.RasAvailable());
    EXPECT_FALSE(ras.IsConnected());
    ras.setService("Office");
    EXPECT_EQ(ras.Service(), QByteArray());
    EXPECT_EQ(prompts.shown(),
              QStringList{QStringLiteral(
                  "error: TzyRas component was unable to detect\rRAS on your system.")});
    // An empty Service counts as connected without dialing.
    ras.Dial();
    EXPECT_TRUE(ras.Connected());
    ras.HangUp(); // the hang-up function is missing too: nothing happens
    EXPECT_TRUE(ras.Connected());

    // A socket that refers to it dials nothing and connects as usual.
    TSock server;
    server.setPortName("0");
    server.setAutoAccept(true);
    bool accepted = false;
    server.setOnAutoAccept([&](TSock&, TSock& client) {
        accepted = true;
        client.Close();
    });
    server.setListen(true);
    TSock client;
    client.setRAS(&ras);
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(server.LocalPort()));
    client.Open();
    EXPECT_TRUE(waitFor([&] { return accepted; }));
}

TEST_F(DialUpTest, ServiceSetterChecksTheName)
{
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    EXPECT_TRUE(ras.RasAvailable());
    EXPECT_EQ(ras.Entries(), QList<QByteArray>({"Office", "Home ISP"}));
    ras.setService("home isp");
    EXPECT_EQ(ras.Service(), "home isp");
    ras.setService("Nowhere");
    EXPECT_EQ(ras.Service(), QByteArray());
    EXPECT_EQ(prompts.shown(), QStringList{QStringLiteral("error: Invalid service name")});
    ras.setService("Office");
    EXPECT_EQ(ras.Service(), "Office");
}

TEST_F(DialUpTest, DialWaitsForTheConnectedStateAndReportsProgress)
{
    platform->progressSteps = {{0, 0}, {1, 0}, {14, 0}, {8192, 0}};
    platform->stateResources[131] = "Verified by the library";
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    QList<QByteArray> texts;
    ras.setOnStatusChange([&](TzyRas&, const QByteArray& text) { texts.append(text); });
    ras.setService("Office");
    ras.setPassword("secret");
    ras.setRemovePassword(false);
    ras.Dial();
    EXPECT_TRUE(ras.Connected());
    EXPECT_EQ(ras.ConnectionHandle(), 77);
    EXPECT_EQ(texts, QList<QByteArray>({"Initializing...", "Dialing...", "Verified by the library",
                                        "Successfully connected"}));
    ASSERT_EQ(platform->dialed.size(), 1);
    EXPECT_EQ(platform->dialed[0].entryName, "Office");
    // No stored password: ours goes into the parameters, stored back with our flag.
    EXPECT_EQ(platform->dialed[0].password, "secret");
    ASSERT_EQ(platform->stored.size(), 1);
    EXPECT_FALSE(platform->stored[0].second);

    // Once connected, the service can no longer change.
    ras.setService("Home ISP");
    EXPECT_EQ(ras.Service(), "Office");
    EXPECT_TRUE(prompts.shown().last().contains(QStringLiteral("can be set only before")));

    int disconnected = 0;
    ras.setOnDisconnected([&](TzyRas&) { ++disconnected; });
    ras.HangUp();
    EXPECT_EQ(platform->hungUp, QList<qintptr>{77});
    EXPECT_EQ(disconnected, 1);
    EXPECT_FALSE(ras.Connected());
    EXPECT_EQ(ras.ConnectionHandle(), -1);
}

TEST_F(DialUpTest, StoredPasswordIsLeftAlone)
{
    platform->passwordStored = true;
    platform->progressSteps = {{8192, 0}};
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    ras.setService("Office");
    ras.setPassword("secret");
    ras.Dial();
    EXPECT_TRUE(ras.Connected());
    EXPECT_TRUE(platform->stored.isEmpty());
    EXPECT_EQ(platform->dialed[0].password, QByteArray());
}

TEST_F(DialUpTest, ErrorDuringDialHangsUpAndRaises)
{
    platform->progressSteps = {{1, 0}, {2, 678}};
    platform->errorTexts[678] = "The remote computer did not respond.";
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    ras.setService("Office");
    try {
        ras.Dial();
        FAIL() << "a failed dial must raise";
    } catch (const ERASError& e) {
        EXPECT_EQ(e.ErrorCode(), 678);
        EXPECT_EQ(e.message(), "The remote computer did not respond.");
    }
    EXPECT_EQ(platform->hungUp, QList<qintptr>{77});
    EXPECT_FALSE(ras.Connected());

    // Without a text from the library the message names the code.
    platform->dialResult = 691;
    try {
        ras.Dial();
        FAIL() << "a dial that does not start must raise";
    } catch (const ERASError& e) {
        EXPECT_EQ(e.ErrorCode(), 691);
        EXPECT_EQ(e.message(), "RAS error no 691");
    }
}

TEST_F(DialUpTest, DialThatNeverCompletesTimesOutWithoutHangingUp)
{
    platform->progressSteps = {{1, 0}};
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    ras.setService("Office");
    ras.setTimeOut(3);
    EXPECT_THROW(ras.Dial(), ETimedOutError);
    EXPECT_TRUE(platform->hungUp.isEmpty());
    // The next dial gets its own time-out again and succeeds.
    platform->progressSteps = {{8192, 0}};
    ras.Dial();
    EXPECT_TRUE(ras.Connected());
}

TEST_F(DialUpTest, ConnectionsOfOtherEntriesCountOnlyWithoutForceService)
{
    platform->connections = {{5, "Home ISP"}};
    platform->ipAddresses[5] = "10.0.0.9";
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    ras.setService("Office");
    EXPECT_TRUE(ras.ForceService());
    EXPECT_FALSE(ras.IsConnected());
    ras.setForceService(false);
    EXPECT_TRUE(ras.IsConnected());
    EXPECT_EQ(ras.ConnectionHandle(), 5);

    // Already connected for the entry: Dial takes that connection and dials nothing.
    TzyRas office(nullptr, platform, &prompts);
    office.setPacing(pacing);
    platform->connections.append({9, "Office"});
    office.setService("Office");
    office.Dial();
    EXPECT_TRUE(office.Connected());
    EXPECT_EQ(office.ConnectionHandle(), 9);
    EXPECT_TRUE(platform->dialed.isEmpty());

    platform->enumConnectionsResult = 600;
    EXPECT_THROW(office.IsConnected(), ERASError);
}

TEST_F(DialUpTest, SocketDialsItsEntryBeforeConnecting)
{
    platform->progressSteps = {{0, 0}, {8192, 0}};
    TzyRas ras(nullptr, platform, &prompts);
    ras.setPacing(pacing);
    ras.setService("Office");
    ras.setTimeOut(30);

    TSock server;
    server.setPortName("0");
    server.setAutoAccept(true);
    bool accepted = false;
    server.setOnAutoAccept([&](TSock&, TSock& client) {
        accepted = true;
        client.Close();
    });
    server.setListen(true);
    TSock client;
    client.setPacing(pacing);
    client.setRAS(&ras);
    client.setHostName("127.0.0.1");
    client.setPortName(QByteArray::number(server.LocalPort()));
    client.Open();
    ASSERT_EQ(platform->dialed.size(), 1);
    EXPECT_EQ(platform->dialed[0].entryName, "Office");
    EXPECT_TRUE(waitFor([&] { return accepted; }));

    // A dial that fails passes out of Open and leaves no socket behind.
    TSock failing;
    failing.setPacing(pacing);
    platform->dialResult = 720;
    platform->connections.clear();
    failing.setRAS(&ras);
    failing.setHostName("127.0.0.1");
    failing.setPortName(QByteArray::number(server.LocalPort()));
    EXPECT_THROW(failing.Open(), ERASError);
    EXPECT_FALSE(failing.Connected());
    EXPECT_THROW(failing.Send("x"), ESockException);
}

} // namespace
