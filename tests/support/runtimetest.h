#pragma once

#include "core/serverstate.h"
#include "foundation/pacing.h"
#include "runtime/serverruntime.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

#include <functional>

// The running server of a test: a fresh data folder, the scripted operator, and the runtime on
// both, not started and not ticking. `core` is its state. `pacing` is at the standard scale and
// already given to the runtime: a test that shortens durations sets its scale. It is declared
// first, so it outlives everything given it.
class RuntimeTest : public ::testing::Test
{
protected:
    RuntimeTest();
    ~RuntimeTest() override;

    // Changes the configuration as the settings dialog does: a changed copy set whole.
    void configure(const std::function<void(TServerConfig&)>& change);
    // A message "Hello <pin>" for `pin` (addressed "To <pin>", from 127.0.0.1) queued for
    // `company` as a submission queues it, and counted.
    void queueMessage(const QByteArray& pin, const QByteArray& company = "5551234");

    Pacing pacing;
    TempDataDir dir;
    ScriptedPrompts prompts;
    ServerRuntime runtime;
    ServerState& core;
};
