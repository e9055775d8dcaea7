#include "tests/support/servercoretest.h"

ServerCoreTest::ServerCoreTest() : core(dir.path(), prompts) {}

ServerCoreTest::~ServerCoreTest() = default;
