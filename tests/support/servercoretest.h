#pragma once

#include "core/serverstate.h"
#include "foundation/pacing.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

#include <functional>

// The server state of a test: a fresh data folder, the scripted operator, and the server's core
// state on both. `pacing` is at the standard scale; a test that shortens durations sets its scale
// and gives it to the parts it drives. It is declared first, so it outlives everything given it.
class ServerCoreTest : public ::testing::Test
{
protected:
    ServerCoreTest();
    ~ServerCoreTest() override;

    // Changes the configuration as the settings dialog does: a changed copy set whole.
    void configure(const std::function<void(TServerConfig&)>& change);

    Pacing pacing;
    TempDataDir dir;
    ScriptedPrompts prompts;
    ServerState core;
};
