#include "tests/support/runtimetest.h"

#include "queue/messagequeuefile.h"
#include "queue/queueentry.h"

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
    MessageQueueFile queue(core.dataFile(MessageQueueFile::FileName));
    QueueEntry entry;
    entry.message = "Hello " + pin;
    entry.pin = pin;
    entry.sender = "127.0.0.1";
    entry.addressee = "To " + pin;
    MessageQueueFile::LineSettings settings;
    settings.length = "80";
    const std::optional<qint32> key = queue.nextFreeMessageKey(company);
    ASSERT_TRUE(key.has_value()) << "no free key in " << company.constData();
    queue.writeSubmission(company, settings, *key, entry);
    core.setQueuedCount(core.queuedCount() + 1);
}
