#pragma once

#include "foundation/pacing.h"
#include "lines/tapnetworkline.h"
#include "paging/epageerror.h"
#include "tests/support/scriptedtapserver.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// A TAP line over the network to a scripted terminal on a local port.
class TapNetworkTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.isListening()); }

    QByteArray terminalUrl() const
    {
        return "tap://127.0.0.1:" + QByteArray::number(server.port());
    }

    std::unique_ptr<TapNetworkLine> lineTo(const QByteArray& url)
    {
        const std::optional<CarrierRoute> route = CarrierRoute::parse(url);
        if (!route) {
            ADD_FAILURE() << "no route: " << url.constData();
            return nullptr;
        }
        auto line = std::make_unique<TapNetworkLine>(*route);
        line->setPacing(pacing);
        line->setProvider("5551234");
        line->setMsgLength(80);
        line->setOnPageProgress([this](const QByteArray& text) { progress.append(text); });
        return line;
    }

    // The number of the EPageError `call` raised, if any; its message must be its code's text.
    template <typename Call> std::optional<int> pageErrorOf(Call call)
    {
        try {
            call();
        } catch (const EPageError& e) {
            EXPECT_EQ(e.message(), EPageError::messageFor(e.code()));
            return static_cast<int>(e.code());
        }
        return std::nullopt;
    }

    Pacing pacing{0.005};
    ScriptedTapServer server;
    QList<QByteArray> progress;
};
