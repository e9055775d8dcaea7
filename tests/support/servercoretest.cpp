#include "tests/support/servercoretest.h"

ServerCoreTest::ServerCoreTest() : core(dir.path(), prompts) {}

ServerCoreTest::~ServerCoreTest() = default;

void ServerCoreTest::configure(const std::function<void(TServerConfig&)>& change)
{
    TServerConfig config = core.config();
    change(config);
    core.setConfig(config);
}
