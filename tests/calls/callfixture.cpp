#include "tests/calls/callfixture.h"

#include "calls/callprocessor.h"
#include "foundation/tinifile.h"
#include "net/tsock.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "tests/support/logtexts.h"

NoticeListener::NoticeListener() : m_sock(std::make_unique<TSock>())
{
    m_sock->setPortName("0");
    m_sock->setAutoAccept(true);
    m_sock->setOnAutoAccept([this](TSock&, TSock& client) {
        ++m_connections;
        client.setOnRead([this](TSock& connection, int) {
            m_received += connection.Receive();
            if (m_received.endsWith("\r\n"))
                connection.Close();
        });
    });
    m_sock->setListen(true);
}

NoticeListener::~NoticeListener() = default;

QByteArray NoticeListener::port() const
{
    return QByteArray::number(m_sock->LocalPort());
}

CallFixture::CallFixture() = default;

CallFixture::~CallFixture() = default;

void CallFixture::SetUp()
{
    // Durations at a fiftieth.
    pacing.setScale(0.02);
    ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
    ASSERT_TRUE(m_modem.linkAs(dir.path(), 1));
    TServerConfig config = core.config();
    config.ComPort = 0;
    config.ComPortSpeed = 6; // 9600
    config.FlowControl = 0;
    config.Logging = true;
    // Nobody listens here unless a test says so: notices are refused at once.
    config.Port = "1";
    core.setConfig(config);
    // The run dials only numbers the allow list allows.
    core.setAllowList({"555"});
    m_calls = std::make_unique<CallControl>(core, prompts);
    m_calls->engine().setPacing(pacing);
}

void CallFixture::TearDown()
{
    m_calls.reset();
}

void CallFixture::allowNoticesToThisHost()
{
    processor().setNoticeCheck([](const QByteArray&) { return std::optional<QByteArray>(); });
}

QueueEntry CallFixture::entry(const QByteArray& pin, const QByteArray& message,
                              const QByteArray& signature, const QByteArray& addressee)
{
    QueueEntry e;
    e.message = message;
    e.signature = signature;
    e.pin = pin;
    e.sender = "127.0.0.1";
    e.addressee = addressee;
    return e;
}

MessageQueueFile CallFixture::queueFile() const
{
    return MessageQueueFile(core.queue().path());
}

void CallFixture::queueMessage(const QByteArray& accessNumber, const QueueEntry& entry,
                               const CompanyLineSettings& settings)
{
    ASSERT_TRUE(core.queue().add({{accessNumber, settings, entry}}).has_value());
}

QList<QByteArray> CallFixture::sectionKeys(const QByteArray& section) const
{
    QList<QByteArray> keys;
    TIniFile(core.queue().path()).ReadKeys(section, keys);
    return keys;
}

QStringList CallFixture::transmitTexts() const
{
    return LogTexts::withoutTimeStamps(core.transmitLog());
}

QList<QByteArray> CallFixture::logTexts() const
{
    return LogTexts::transactionLog(dir.path());
}

QList<QByteArray> CallFixture::deliveredPins() const
{
    return m_modem.pins();
}
