#pragma once

#include "foundation/pacing.h"
#include "paging/epageerror.h"
#include "paging/tomxpage.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

#include <optional>

// The engine on COM1 of a temporary data folder, wired to a scripted modem and terminal.
class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        page.setPacing(pacing);
        ASSERT_TRUE(modem.isValid());
        ASSERT_TRUE(modem.linkAs(dir.path(), 1));
        page.setDeviceDirectory(dir.path());
        page.setComPort(pnCOM1);
        page.setProvider("5551234");
        page.setPinNumber("1234567");
        page.setOnPageProgress([this](const QByteArray& text) { progress.append(text); });
    }

    // Runs `call` and returns the number of the EPageError it raised, if any. The message must
    // match the code's text.
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

    // Connects and forgets the progress texts of the log-on.
    void connectQuietly()
    {
        ASSERT_TRUE(page.Connect());
        progress.clear();
    }

    Pacing pacing{0.005};
    TempDataDir dir;
    ScriptedModem modem;
    TOMXPage page;
    QList<QByteArray> progress;
};
