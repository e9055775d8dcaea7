#include "tests/snpp/gatewayfixture.h"

#include "directories/sharedpaths.h"
#include "foundation/filestore.h"
#include "queue/messagequeuefile.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"

GatewayFixture::GatewayFixture() = default;

GatewayFixture::~GatewayFixture() = default;

void GatewayFixture::SetUp()
{
    dir.write(SharedPaths::ProviderFileName,
              "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
              "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n"
              "[Far Paging]\r\nAccess Number=7771234\r\nPassword=\r\nLength=80\r\n"
              "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
    dir.write(QStringLiteral("sUser.Dat"), "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n"
                                           "[bob]\r\nPIN=1002\r\nPROVIDER=Metro Paging\r\n"
                                           "[carol]\r\nPIN=1003\r\nPROVIDER=Metro Paging\r\n"
                                           "[dave]\r\nPIN=1004\r\nPROVIDER=Far Paging\r\n");
    dir.write(QStringLiteral("sGroup.Dat"), "[ops]\r\nUser0=alice\r\nUser1=bob\r\nUser2=carol\r\n");
    configure([&](TServerConfig& c) { c.Logging = true; });
    core.setAllowList({"555"});
    m_bridge = std::make_unique<SnppBridge>(core, prompts);
    server().setTiming(fastTiming());
    ASSERT_FALSE(server().listen(0));
    m_port = server().port();
}

void GatewayFixture::TearDown()
{
    m_bridge.reset();
}

SnppTiming GatewayFixture::fastTiming()
{
    SnppTiming timing;
    timing.idleMs = 400;
    timing.busyPollMs = 20;
    timing.busyLimitMs = 20000;
    return timing;
}

SnppServer& GatewayFixture::server() const
{
    return m_bridge->gateway().server();
}

QList<QByteArray> GatewayFixture::queued() const
{
    QList<QByteArray> entries;
    QByteArray section;
    for (const QByteArray& line : FileStore::readLines(dir.file(MessageQueueFile::FileName))) {
        if (line.startsWith('['))
            section = line.mid(1, line.size() - 2);
        else if (line.startsWith("MSG"))
            entries.append(section + '/' + line);
    }
    return entries;
}
