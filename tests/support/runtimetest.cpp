#include "tests/support/runtimetest.h"

#include "queue/messagequeue.h"
#include "queue/queuesubmission.h"

RuntimeTest::RuntimeTest() : runtime(dir.path(), prompts), core(runtime.state())
{
    runtime.setPacing(pacing);
}

RuntimeTest::~RuntimeTest() = default;

void RuntimeTest::configure(const std::function<void(TServerConfig&)>& change)
{
    TServerConfig config = core.config();
    change(config);
    core.setConfig(config);
}

void RuntimeTest::queueMessage(const QByteArray& pin, const QByteArray& company)
{
    QueueEntry entry;
    entry.message = "Hello " + pin;
    entry.pin = pin;
    entry.sender = "127.0.0.1";
    entry.addressee = "To " + pin;
    ASSERT_TRUE(core.queue().add({{company, CompanyLineSettings{}, entry}}))
        << "no free key in " << company.constData();
}
