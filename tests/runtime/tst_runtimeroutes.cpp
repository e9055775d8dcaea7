#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "directories/sharedpaths.h"
#include "lines/linesfile.h"
#include "pages/pagestore.h"
#include "paging/ipagingline.h"
#include "queue/messagequeuefile.h"
#include "runtime/pagekeeping.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "tests/lines/tlsfront.h"
#include "tests/lines/wctpendpoint.h"
#include "tests/runtime/runningserver.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/scriptedtapserver.h"
#include "tests/support/workstationclient.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

using Texts = QList<QByteArray>;

QByteArray company(const QByteArray& name, const QByteArray& number)
{
    return "[" + name + "]\r\nAccess Number=" + number +
           "\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n";
}

// The running server with Lines.Dat routing some companies to carriers on 127.0.0.1: Metro
// Paging (5551234) is dialled on the scripted modem, Net Paging (5557000) takes TAP on a port of
// its own, Web Paging (5559999) is a WCTP service. Pages come in over SNPP.
class RoutedCalls : public RunningServerTest
{
protected:
    void SetUp() override
    {
        RunningServerTest::SetUp();
        ASSERT_TRUE(tap.isListening());
        ASSERT_TRUE(wctp.isListening());
        dir.write(SharedPaths::ProviderFileName, company("Metro Paging", "5551234") +
                                                     company("Net Paging", "5557000") +
                                                     company("Web Paging", "5559999"));
    }

    QByteArray tapUrl() const { return "tap://127.0.0.1:" + QByteArray::number(tap.port()); }
    QByteArray wctpUrl() const
    {
        return "wctp+http://127.0.0.1:" + QByteArray::number(wctp.port()) + "/wctp";
    }

    // Lines.Dat written and read again by the service's reload.
    void writeLines(const QByteArray& text)
    {
        dir.write(LinesFile::FileName, text);
        runtime.reload();
    }
    void routes(const QByteArray& routes) { writeLines("[Routes]\r\n" + routes); }

    SnppServer& snppServer() { return runtime.snpp().gateway().server(); }
    PageStore& store() { return runtime.pages().store(); }

    // A paging client's page; the reply to its SEND.
    QByteArray sendSnpp(const QByteArray& pagerId, const QByteArray& message)
    {
        if (snppServer().port() == 0) {
            EXPECT_FALSE(snppServer().listen(0));
        }
        QByteArray reply;
        runWhilePumping([&] {
            SnppClient client(snppServer().port());
            client.line();
            client.command("PAGE " + pagerId);
            client.command("MESS " + message);
            reply = client.command("SEND");
            client.send("QUIT\r\n");
            client.rest();
        });
        return reply;
    }
    qint64 page(const QByteArray& pagerId, const QByteArray& message)
    {
        EXPECT_TRUE(sendSnpp(pagerId, message).startsWith("250 ")) << pagerId.constData();
        qint64 found = 0;
        for (const PageRecord& record : store().recent()) {
            if (record.pagerId == pagerId)
                found = record.id;
        }
        EXPECT_NE(found, 0) << "no page for " << pagerId.constData();
        return found;
    }
    PageState stateOf(qint64 id) { return store().page(id).value_or(PageRecord{}).state; }
    bool noted(qint64 id, const QByteArray& note)
    {
        const std::optional<PageRecord> record = store().page(id);
        if (!record)
            return false;
        for (const PageHistoryEntry& entry : record->history) {
            if (entry.note == note)
                return true;
        }
        return false;
    }
    // The Log.Dat line after the last line `line`, or nothing.
    QByteArray loggedAfter(const QByteArray& line) const
    {
        const Texts log = logTexts();
        const qsizetype at = log.lastIndexOf(line);
        return at >= 0 && at + 1 < log.size() ? log.at(at + 1) : QByteArray();
    }
    qsizetype loggedContaining(const QByteArray& part) const
    {
        qsizetype count = 0;
        for (const QByteArray& line : logTexts())
            count += line.contains(part) ? 1 : 0;
        return count;
    }
    bool loggedStartingWith(const QByteArray& start) const
    {
        for (const QByteArray& line : logTexts()) {
            if (line.startsWith(start))
                return true;
        }
        return false;
    }

    ScriptedTapServer tap;
    WctpEndpoint wctp;
};

TEST_F(RoutedCalls, RoutedCompanyGoesOverTapWhileTheOthersAreDialled)
{
    routes("5557000=" + tapUrl() + "\r\n");
    const qint64 dialled = page("1111111@Metro Paging", "over the modem");
    const qint64 first = page("2222222@Net Paging", "over TCP");
    const qint64 second = page("3333333@Net Paging", "also over TCP");

    runtime.sendNow();

    EXPECT_EQ(modem.dialled(), Texts{"5551234"}) << "the routed number was dialled";
    EXPECT_EQ(modem.pins(), Texts{"1111111"});
    ASSERT_EQ(tap.terminal().blocks().size(), 2);
    EXPECT_EQ(tap.terminal().blocks()[0].pin, "2222222");
    EXPECT_EQ(tap.terminal().blocks()[1].field, "also over TCP");
    EXPECT_TRUE(tap.terminal().blocks()[0].checksumValid);
    EXPECT_EQ(tap.connections(), 1) << "one call for the company";
    EXPECT_TRUE(tap.terminal().endOfCallReceived());
    for (const qint64 id : {dialled, first, second})
        EXPECT_EQ(stateOf(id), PageState::Delivered) << id;
    EXPECT_EQ(loggedAfter("Sending Messages For: 5557000"), "Line: " + tapUrl());
    // Two lines take turns in the log: each call names its own.
    EXPECT_EQ(loggedAfter("Sending Messages For: 5551234"), "Line: COM1");
    EXPECT_EQ(loggedContaining("Line: "), 2);
    EXPECT_EQ(core.queuedCount(), 0);
    EXPECT_FALSE(queuedSections().contains("5557000"));
}

// A route the allow list does not allow (any more) is not called, as a number is not dialled.
TEST_F(RoutedCalls, RoutedNumberTheAllowListDropsIsNotCalled)
{
    routes("5557000=" + tapUrl() + "\r\n");
    const qint64 routed = page("2222222@Net Paging", "not now");
    dir.write(QStringLiteral("Allow.txt"), "5551234\r\n");
    runtime.reload();

    runtime.sendNow();

    EXPECT_EQ(tap.connections(), 0);
    EXPECT_TRUE(modem.dialled().isEmpty());
    EXPECT_TRUE(logTexts().contains("Not Dialled: 5557000 (Access Number Not Allowed)"));
    EXPECT_EQ(stateOf(routed), PageState::Queued);
    EXPECT_TRUE(queuedSections().contains("5557000"));
}

// A second stop during a routed call hangs that line up, not the idle modem; a first one lets
// the page in hand finish and still signs off.
TEST_F(RoutedCalls, StopsActOnTheRoutedLineInUse)
{
    routes("5557000=" + tapUrl() + "\r\n");
    page("2222222@Net Paging", "in hand");
    page("3333333@Net Paging", "kept");
    tap.terminal().queueBlockReplies({ScriptedTerminal::silence()});
    tap.terminal().setOnBlock([&](const ScriptedTerminal::Block&) {
        if (tap.terminal().blocks().size() != 1)
            return;
        runtime.stop();
        runtime.stop();
    });

    runtime.sendNow();

    EXPECT_EQ(tap.terminal().blocks().size(), 1) << "the call went on after the second stop";
    EXPECT_TRUE(tap.waitForClose(30));
    EXPECT_TRUE(tap.terminal().endOfCallReceived());
    EXPECT_TRUE(logTexts().contains("Stopping now: the call in progress is hung up"));
    EXPECT_TRUE(dir.read(MessageQueueFile::FileName).contains("kept"));
}

TEST_F(RoutedCalls, AFirstStopEndsTheRoutedCallAfterThePageInHand)
{
    routes("5557000=" + tapUrl() + "\r\n");
    const qint64 inHand = page("2222222@Net Paging", "in hand");
    const qint64 kept = page("3333333@Net Paging", "kept");
    tap.terminal().setOnBlock([&](const ScriptedTerminal::Block&) {
        if (tap.terminal().blocks().size() == 1)
            runtime.stop();
    });

    runtime.sendNow();

    EXPECT_EQ(tap.terminal().blocks().size(), 1);
    EXPECT_TRUE(tap.waitForClose(30));
    EXPECT_TRUE(tap.terminal().endOfCallReceived()) << "the carrier was not signed off";
    EXPECT_EQ(stateOf(inHand), PageState::Delivered);
    EXPECT_EQ(stateOf(kept), PageState::Queued);
}

TEST_F(RoutedCalls, WctpConfirmationsDecideAndAnHttpFailureKeepsThePagesQueued)
{
    routes("5559999=" + wctpUrl() + "\r\n");
    const qint64 confirmed = page("1111111@Web Paging", "confirmed");
    const qint64 refused = page("2222222@Web Paging", "refused");
    const qint64 notAnswered = page("3333333@Web Paging", "server error");
    const qint64 notTried = page("4444444@Web Paging", "after the error");
    wctp.queueReplies({WctpEndpoint::success(), WctpEndpoint::failure(402, "Invalid recipient"),
                       WctpEndpoint::httpResponse(500, "Internal Server Error", "oops")});

    runtime.sendNow();

    EXPECT_TRUE(modem.dialled().isEmpty());
    EXPECT_EQ(wctp.requests().size(), 3) << "the call went on after the HTTP failure";
    EXPECT_EQ(stateOf(confirmed), PageState::Delivered);
    EXPECT_EQ(stateOf(refused), PageState::Failed);
    EXPECT_EQ(store().page(refused)->reason, "WCTP Error 402: Invalid recipient!");
    const QByteArray note = "Error Connecting To Paging Network: 5559999";
    for (const qint64 id : {notAnswered, notTried}) {
        EXPECT_EQ(stateOf(id), PageState::Queued) << id;
        EXPECT_TRUE(noted(id, note)) << id;
    }
    EXPECT_TRUE(logTexts().contains(" " + note));
    EXPECT_TRUE(loggedStartingWith("Error Sending Messages To: 2222222 From "));
    EXPECT_EQ(loggedContaining("(WCTP Error 402: Invalid recipient!)"), 1);
    EXPECT_TRUE(core.transmitLog().join(QLatin1Char('\n')).contains(QStringLiteral("HTTP 500")));

    // The next run delivers what the failure kept, once.
    runtime.sendNow();
    EXPECT_EQ(wctp.requests().size(), 5);
    EXPECT_EQ(stateOf(notAnswered), PageState::Delivered);
    EXPECT_EQ(stateOf(notTried), PageState::Delivered);
    EXPECT_EQ(stateOf(refused), PageState::Failed);
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(RoutedCalls, BadLinesAreReportedWithTheirNumbersAndTheRestIsUsed)
{
    writeLines("[Routes]\r\n5557000=ftp://127.0.0.1:21\r\n\r\n[Dialers]\r\n5559999=" + wctpUrl() +
               "\r\n[Routes]\r\n5557000=" + tapUrl() + "\r\n");
    page("2222222@Net Paging", "still routed");

    runtime.sendNow();

    const QStringList log = core.connectionLog();
    EXPECT_FALSE(log.filter(QStringLiteral("Lines.Dat line 2: ")).isEmpty())
        << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(log.filter(QStringLiteral("Lines.Dat line 4: ")).isEmpty())
        << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(loggedStartingWith("Lines.Dat line 2: "));
    EXPECT_EQ(tap.terminal().blocks().size(), 1);
    EXPECT_TRUE(modem.dialled().isEmpty());

    // Without the file every company is dialled again.
    QFile::remove(dir.file(LinesFile::FileName));
    runtime.reload();
    page("3333333@Net Paging", "dialled");
    runtime.sendNow();
    EXPECT_EQ(modem.dialled(), Texts{"5557000"});
    EXPECT_EQ(tap.connections(), 1);
}

// A Lines.Dat that cannot be read at a reload says nothing about the routes: those in use stay,
// and the log says why the file was not taken.
TEST_F(RoutedCalls, AnUnreadableFileKeepsTheRoutesInUse)
{
    routes("5557000=" + tapUrl() + "\r\n");
    page("2222222@Net Paging", "still routed");
    QFile::remove(dir.file(LinesFile::FileName));
    ASSERT_TRUE(QDir(dir.path()).mkdir(LinesFile::FileName));
    runtime.reload();

    runtime.sendNow();

    EXPECT_TRUE(loggedStartingWith("Lines.Dat: cannot be read"));
    EXPECT_TRUE(modem.dialled().isEmpty()) << "the route was dropped";
    EXPECT_EQ(tap.terminal().blocks().size(), 1);
}

// TAP over TLS, behind socat with a certificate for "localhost" from a CA the test makes.
class RoutedTlsCalls : public RoutedCalls
{
protected:
    static void SetUpTestSuite()
    {
        s_front = std::make_unique<TlsFront>();
        s_ready = s_front->makeCertificates();
    }
    static void TearDownTestSuite() { s_front.reset(); }

    void SetUp() override
    {
        RoutedCalls::SetUp();
        // The TLS set-up goes through socat: the terminal's prompt needs more time to come
        // through than over a direct connection.
        pacing.setScale(0.05);
        ASSERT_TRUE(s_ready) << s_front->why().constData();
        ASSERT_TRUE(s_front->start(tap.port())) << s_front->why().constData();
    }
    void TearDown() override
    {
        s_front->stop();
        RoutedCalls::TearDown();
    }

    QByteArray tlsUrl(const QByteArray& host, const QString& caFile) const
    {
        QByteArray url = "tap+tls://" + host + ":" + QByteArray::number(s_front->port());
        if (!caFile.isEmpty())
            url += "?ca=" + QUrl::toPercentEncoding(caFile, "/");
        return url;
    }

    static std::unique_ptr<TlsFront> s_front;
    static bool s_ready;
};

std::unique_ptr<TlsFront> RoutedTlsCalls::s_front;
bool RoutedTlsCalls::s_ready = false;

TEST_F(RoutedTlsCalls, CarrierThatDoesNotCheckOutKeepsThePagesUntilTheRouteIsFixed)
{
    const qint64 dialled = page("1111111@Metro Paging", "over the modem");
    const qint64 routed = page("2222222@Net Paging", "over TLS");
    const QByteArray note = "Error Connecting To Paging Network: 5557000";
    struct Case
    {
        const char* what;
        QByteArray url;
    };
    const Case refused[] = {
        {"a host name the certificate does not name", tlsUrl("127.0.0.1", s_front->caFile())},
        {"a CA that did not issue it", tlsUrl("localhost", s_front->otherCaFile())},
    };
    qsizetype reasons = 0;
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        routes("5557000=" + c.url + "\r\n");
        runtime.sendNow();
        EXPECT_EQ(stateOf(routed), PageState::Queued);
        EXPECT_TRUE(noted(routed, note));
        EXPECT_TRUE(logTexts().contains(" " + note));
        // The reason has a line of its own.
        EXPECT_EQ(core.transmitLog().filter(QStringLiteral("Connection Failed: ")).size(),
                  ++reasons);
        EXPECT_TRUE(queuedSections().contains("5557000"));
    }
    EXPECT_EQ(tap.connections(), 0) << "the terminal was reached through a refused carrier";
    EXPECT_EQ(modem.dialled(), Texts{"5551234"}) << "the routed number was dialled";
    EXPECT_EQ(stateOf(dialled), PageState::Delivered);

    routes("5557000=" + tlsUrl("localhost", s_front->caFile()) + "\r\n");
    runtime.sendNow();

    EXPECT_EQ(stateOf(routed), PageState::Delivered);
    ASSERT_EQ(tap.terminal().blocks().size(), 1);
    EXPECT_EQ(tap.terminal().blocks().first().field, "over TLS");
    EXPECT_EQ(loggedAfter("Sending Messages For: 5557000"),
              "Line: tap+tls://localhost:" + QByteArray::number(s_front->port()));
    EXPECT_EQ(modem.dialled(), Texts{"5551234"});
    EXPECT_FALSE(queuedSections().contains("5557000"));
}

} // namespace
