#pragma once

#include "runtime/snppbridge.h"
#include "snpp/snpptiming.h"
#include "tests/support/servercoretest.h"

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>

#include <memory>

class SnppServer;

// The server state in a fresh data folder with the SNPP gateway listening on a free port of
// 127.0.0.1, short session durations, and shared lists of its own: the company Metro Paging
// (5551234, allowed) with the users alice, bob and carol, all three in the group ops; the
// company Far Paging (7771234, not in the allow list) with the user dave.
class GatewayFixture : public ServerCoreTest
{
protected:
    GatewayFixture();
    ~GatewayFixture() override;
    void SetUp() override;
    void TearDown() override;

    static SnppTiming fastTiming();
    SnppServer& server() const;
    // The "MSG" + n values of the queue file, in file order, as "section/MSGn=value".
    QList<QByteArray> queued() const;

    std::unique_ptr<SnppBridge> m_bridge;
    quint16 m_port = 0;
};
