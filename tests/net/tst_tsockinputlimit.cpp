#include "net/tsock.h"
#include "tests/support/loopbackclient.h"

#include <gtest/gtest.h>

// A connection with an input limit stops reading at the limit and resumes once its owner has
// taken bytes, so a fast peer is held back by the platform rather than buffered in memory.
TEST(TSockInputLimit, ReadingStopsAtTheLimitAndResumesWhenBytesAreTaken)
{
    TSock listener;
    TSock* connection = nullptr;
    listener.setPortName("0");
    listener.setAutoAccept(true);
    listener.setOnAutoAccept([&](TSock&, TSock& client) {
        client.setInputLimit(1000);
        connection = &client;
    });
    listener.setListen(true);
    LoopbackClient peer(listener.LocalPort());
    ASSERT_TRUE(peer.isOpen());
    QByteArray sent;
    for (int i = 0; i < 20000; ++i)
        sent.append(static_cast<char>('a' + i % 26));
    peer.send(sent);

    ASSERT_TRUE(waitFor([&] { return connection && connection->BytesAvailable() >= 1000; }));
    QByteArray received;
    bool withinLimit = true;
    ASSERT_TRUE(waitFor([&] {
        withinLimit = withinLimit && connection->BytesAvailable() <= 1000;
        // Take a little at a time, so the buffer keeps reaching the limit.
        if (connection->BytesAvailable() >= 1000 ||
            received.size() + connection->BytesAvailable() == sent.size())
            received += connection->ReceiveCount(700);
        return received.size() == sent.size();
    }));
    EXPECT_TRUE(withinLimit) << "the input buffer grew past its limit";
    EXPECT_EQ(received, sent);
}
