#include "foundation/errors.h"
#include "net/base64.h"
#include "net/errorname.h"
#include "net/esockexception.h"
#include "net/hostcache.h"
#include "net/tsock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>

namespace {

// Scripts the resolver of the socket's own cache and counts how often it is asked.
class HostLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sock.setHostCache(cache);
        sock.setOnInfo(
            [this](TSock&, TSock::TSocketInfo, const QByteArray& msg) { notices.append(msg); });
    }

    QList<QByteArray> asked;
    HostCache cache{[this](const QByteArray& name) -> std::optional<quint32> {
        asked.append(name);
        if (name.startsWith("known"))
            return inet_addr("192.0.2.7");
        return std::nullopt;
    }};
    TSock sock;
    QList<QByteArray> notices;
};

TEST_F(HostLookupTest, NameIsLookedUpOnceWhateverItsLetterCase)
{
    const QByteArray name = "known-host";
    const qsizetype before = cache.size();
    EXPECT_EQ(sock.LookupHost(name), inet_addr("192.0.2.7"));
    EXPECT_EQ(sock.LookupHost(name.toUpper()), inet_addr("192.0.2.7"));
    EXPECT_EQ(sock.LookupHost(name.toLower()), inet_addr("192.0.2.7"));
    EXPECT_EQ(asked, QList<QByteArray>{name});
    EXPECT_EQ(cache.size(), before + 1);
    EXPECT_EQ(notices.first(), "Lookup Of Host " + name);
    EXPECT_EQ(notices.size(), 3);
}

TEST_F(HostLookupTest, DottedNamesAreConvertedWithoutLookupOrCache)
{
    const qsizetype before = cache.size();
    EXPECT_EQ(sock.LookupHost("10.1.2.3"), inet_addr("10.1.2.3"));
    // A name that begins with a digit counts as dotted: not a valid address, so "no address".
    EXPECT_EQ(sock.LookupHost("3com"), INADDR_NONE);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(cache.size(), before);
    EXPECT_EQ(notices, QList<QByteArray>({"Lookup Of Host 10.1.2.3", "Lookup Of Host 3com"}));
}

TEST_F(HostLookupTest, EmptyNameIsTheAnyAddressWithoutReport)
{
    EXPECT_EQ(sock.LookupHost(QByteArray()), htonl(INADDR_ANY));
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(HostLookupTest, FailedLookupRaisesAndIsAskedAgainNextTime)
{
    const QByteArray name = "missing";
    const qsizetype before = cache.size();
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            sock.LookupHost(name);
            FAIL() << "an unknown host must raise";
        } catch (const ESockException& e) {
            EXPECT_EQ(e.message(), "Host Lookup - Could Not Find Host Entry");
        }
    }
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(cache.size(), before);
}

TEST(HostLookupSystem, LocalhostResolvesToLoopback)
{
    TSock sock;
    EXPECT_EQ(sock.LookupHost("localhost"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(HostCache::shared().find("LOCALHOST"), htonl(INADDR_LOOPBACK));
}

TEST(PortLookup, NumbersServicesAndFailures)
{
    TSock sock;
    QList<QByteArray> notices;
    sock.setOnInfo([&](TSock&, TSock::TSocketInfo info, const QByteArray& msg) {
        EXPECT_EQ(info, TSock::siLookup);
        notices.append(msg);
    });
    EXPECT_EQ(sock.LookupPort("5612"), htons(5612));
    EXPECT_EQ(notices, QList<QByteArray>{"Lookup Of Port 5612"});
    EXPECT_EQ(sock.LookupPort("65535"), htons(65535));

    const auto expectError = [&](const QByteArray& name, const QByteArray& message) {
        try {
            sock.LookupPort(name);
            ADD_FAILURE() << "port name " << name.constData() << " must be refused";
        } catch (const EZelkorError& e) {
            EXPECT_EQ(e.message(), message) << name.constData();
        }
    };
    expectError("56x", "'56x' is not a valid integer value");
    expectError("", "Port Lookup - Could Not Find Service Entry");
    expectError("no-such-service-here", "Port Lookup - Could Not Find Service Entry");
    // Beyond 16 bits a number names no port; it is not wrapped onto another one.
    expectError("70000", "Port Lookup - Could Not Find Service Entry");
    expectError("65536", "Port Lookup - Could Not Find Service Entry");
}

TEST(PortLookup, ServiceNamesFollowTheSocketType)
{
    const servent* tcp = getservbyname("smtp", "tcp");
    const int tcpPort = tcp != nullptr ? tcp->s_port : -1;
    const servent* udp = getservbyname("domain", "udp");
    const int udpPort = udp != nullptr ? udp->s_port : -1;
    if (tcpPort < 0 || udpPort < 0)
        GTEST_SKIP() << "this machine has no services database";
    TSock stream;
    EXPECT_EQ(stream.LookupPort("smtp"), tcpPort);
    TSock datagram;
    datagram.setSocketType(TSock::stDatagram);
    EXPECT_EQ(datagram.LookupPort("domain"), udpPort);
}

TEST(ErrorNames, KnownCodesHaveTheirWinSockNames)
{
    EXPECT_EQ(ErrorName(10061), "WSAECONNREFUSED");
    EXPECT_EQ(ErrorName(10054), "WSAECONNRESET");
    EXPECT_EQ(ErrorName(10004), "WSAEINTR");
    EXPECT_EQ(ErrorName(11004), "WSANO_DATA");
    EXPECT_EQ(ErrorName(10101), "WSAEDISCON");
    EXPECT_EQ(ErrorName(10000), "UNKNOWN ERROR");
    EXPECT_EQ(ErrorName(0), "UNKNOWN ERROR");
    EXPECT_EQ(ErrorName(10072), "UNKNOWN ERROR");
    int named = 0;
    for (int code = 10000; code < 11010; ++code)
        named += ErrorName(code) != "UNKNOWN ERROR" ? 1 : 0;
    EXPECT_EQ(named, 51);
    EXPECT_EQ(SockErrors::errorNotice(10061), "Error #10061 (WSAECONNREFUSED)");
    EXPECT_EQ(SockErrors::receiveErrorText(10054), "Receive - Socket Error WSAECONNRESET");
}

TEST(ErrorNames, PlatformErrorsMapOntoWinSockCodes)
{
    EXPECT_EQ(SockErrors::fromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SockErrors::fromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SockErrors::fromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SockErrors::fromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SockErrors::fromErrno(EAGAIN), 10035);
    // Unmapped values stay errors, with no name of their own.
    EXPECT_GT(SockErrors::fromErrno(ENOENT), 10000);
    EXPECT_EQ(ErrorName(SockErrors::fromErrno(ENOENT)), "UNKNOWN ERROR");
}

TEST(Base64, WellFormedBlocksDecodeExactly)
{
    EXPECT_EQ(Base64Decode("YWJj"), "abc");
    EXPECT_EQ(Base64Decode("YWI="), "ab");
    EXPECT_EQ(Base64Decode("YQ=="), "a");
    EXPECT_EQ(Base64Decode(""), "");
    EXPECT_EQ(Base64Decode("TVNHOkhlbGxvDQpQSU46MTIzNA=="), "MSG:Hello\r\nPIN:1234");
    // Every byte value survives.
    EXPECT_EQ(Base64Decode("AP8Q7w=="), QByteArray("\x00\xff\x10\xef", 4));
    EXPECT_EQ(Base64Decode("+/+/"), QByteArray("\xfb\xff\xbf", 3));
    // Blocks joined together decode one after the other.
    EXPECT_EQ(Base64Decode("YQ==YWJj"), "aabc");
}

TEST(Base64, DamagedTextIsDecodedSafely)
{
    // Line breaks and blanks inside or after a block are skipped.
    EXPECT_EQ(Base64Decode("YWJj\r\n"), "abc");
    EXPECT_EQ(Base64Decode("YW\r\nJj ZGVm"), "abcdef");
    // A cut-off tail counts as padded.
    EXPECT_EQ(Base64Decode("YWJjZA"), "abcd");
    EXPECT_EQ(Base64Decode("YWJjZGU"), "abcde");
    EXPECT_EQ(Base64Decode("YWJjZ"), "abc");
    EXPECT_EQ(Base64Decode("Y"), "");
    // Characters outside the alphabet are skipped; misplaced padding yields nothing.
    EXPECT_EQ(Base64Decode("Y!W*Jj"), "abc");
    EXPECT_EQ(Base64Decode("===="), "");
    EXPECT_EQ(Base64Decode("Y==="), "");
    EXPECT_EQ(Base64Decode(QByteArray("\x00\x80\xff", 3)), "");
    // A large damaged block: every byte of output comes from the input, none from beyond it.
    QByteArray big(100001, 'A');
    EXPECT_EQ(Base64Decode(big).size(), 100000 / 4 * 3);
}

} // namespace
