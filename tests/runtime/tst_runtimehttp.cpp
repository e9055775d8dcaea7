#include "directories/sharedpaths.h"
#include "http/httpfrontend.h"
#include "http/httpsettings.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"
#include "runtime/httpbridge.h"
#include "runtime/pagekeeping.h"
#include "runtime/servermeter.h"
#include "tests/runtime/runningserver.h"
#include "tests/support/freeport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

// Serves until `condition` holds or the safety limit passes.
bool pumpUntil(const std::function<bool()>& condition, int ms = 10000)
{
    const QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

void pump(int ms)
{
    pumpUntil([] { return false; }, ms);
}

bool logged(const QStringList& log, const QByteArray& line)
{
    return log.contains(QString::fromLatin1(line));
}

// The HTTP front end joined to the running server: pager IDs from the shared lists, the queue's
// checks, the page store's ids and fates, and the server's counters.
class RuntimeHttp : public RunningServerTest
{
protected:
    void SetUp() override
    {
        RunningServerTest::SetUp();
        dir.write(SharedPaths::ProviderFileName,
                  "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                  "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n"
                  "[Far Paging]\r\nAccess Number=4441234\r\nPassword=\r\nLength=80\r\n"
                  "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        dir.write(QStringLiteral("sUser.Dat"), "[Alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n"
                                               "[Bob]\r\nPIN=1002\r\nPROVIDER=Metro Paging\r\n"
                                               "[Dave]\r\nPIN=1004\r\nPROVIDER=Far Paging\r\n");
        dir.write(QStringLiteral("sGroup.Dat"), "[Ops]\r\nUser0=Alice\r\nUser1=Bob\r\n");
        configure([](TServerConfig& c) {
            c.UserFile = "sUser.Dat";
            c.GroupFile = "sGroup.Dat";
        });
    }

    HttpBridge& http() { return runtime.http(); }
    PageStore& store() { return runtime.pages().store(); }
    qint64 messagesQueued() { return core.queue().file().countMessages(); }

    HttpIntakeResult page(const QList<QByteArray>& to, const QByteArray& message,
                          HttpFrontend frontend = HttpFrontend::Http)
    {
        HttpPageRequest request;
        request.pagerIds = to;
        request.message = message;
        request.frontend = frontend;
        request.sender = "127.0.0.9";
        return http().submit(request);
    }
};

TEST_F(RuntimeHttp, AUserAndAGroupAreQueuedWithIdsAndARefusedPagerQueuesNothing)
{
    using Outcome = HttpIntakeResult::Outcome;
    const HttpIntakeResult taken = page({"alice", "ops"}, "disk full");
    ASSERT_EQ(taken.outcome, Outcome::Queued) << taken.detail.constData();
    ASSERT_EQ(taken.pages.size(), 3) << "alice, and each member of ops";
    EXPECT_EQ(taken.pages[0].to, "alice");
    EXPECT_EQ(taken.pages[2].to, "ops");
    EXPECT_EQ(messagesQueued(), 3);
    const std::optional<PageRecord> first = store().page(taken.pages[0].id.toLongLong());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->state, PageState::Queued);
    EXPECT_EQ(first->frontEnd, FrontEnd::Http);
    EXPECT_EQ(first->pin, "1001");
    EXPECT_EQ(first->sender, "127.0.0.9");
    EXPECT_EQ(store().page(taken.pages[2].id.toLongLong())->pin, "1002");

    // Each refusal leaves the queue as it was, also for the pagers named before the refused one.
    struct Refused
    {
        QList<QByteArray> to;
        QByteArray message;
        Outcome outcome;
        QByteArray detail;
    };
    const Refused refusals[] = {
        {{"ops", "dave"}, "x", Outcome::NumberNotAllowed, "dave (4441234)"},
        {{"alice", "nobody"}, "x", Outcome::UnknownPager, "nobody"},
        {{"bob", "alice"}, QByteArray(20 * 80, 'w'), Outcome::TooLong, "bob"},
        // A PIN that leaves no room for any text at its company's length names a pager that can
        // never be paged.
        {{"alice", QByteArray(40, '7') + "@Metro Paging"},
         "x",
         Outcome::PagerRefused,
         QByteArray(40, '7') + "@Metro Paging: PIN Too Long"},
    };
    for (const Refused& refused : refusals) {
        const HttpIntakeResult result = page(refused.to, refused.message);
        EXPECT_EQ(result.outcome, refused.outcome) << refused.detail.constData();
        EXPECT_TRUE(result.detail.startsWith(refused.detail)) << result.detail.constData();
        EXPECT_TRUE(result.pages.isEmpty());
        EXPECT_EQ(messagesQueued(), 3) << refused.detail.constData();
    }
    EXPECT_TRUE(logged(core.connectionLog(), "HTTP Message Refused From: 127.0.0.9 (nobody)"));

    EXPECT_TRUE(http().fits("ops", "short"));
    EXPECT_FALSE(http().fits("ops", QByteArray(20 * 80, 'w')));
    EXPECT_FALSE(http().fits("nobody", "short"));

    EXPECT_EQ(page({"alice"}, "[FIRING:1] x", HttpFrontend::Alertmanager).outcome, Outcome::Queued);
    const HttpMetricsSnapshot counts = http().view().snapshot();
    EXPECT_EQ(counts.acceptedHttp, 3u);
    EXPECT_EQ(counts.acceptedAlertmanager, 1u);
    EXPECT_EQ(counts.acceptedWorkstation, 0u);
    EXPECT_EQ(counts.queued, 4u);
}

TEST_F(RuntimeHttp, APageShowsItsFateAfterTheCheckAndTheCountersFollowTheRun)
{
    const HttpIntakeResult taken = page({"alice"}, "disk full");
    ASSERT_EQ(taken.pages.size(), 1);
    const QString id = taken.pages[0].id;
    submit("7777777", "from a workstation");
    const HttpStatusView& view = http().view();
    ASSERT_TRUE(view.page(id));
    EXPECT_EQ(view.page(id)->state, HttpPageState::Queued);
    EXPECT_EQ(view.queuedByCompany(), (QList<HttpCompanyQueue>{{"5551234", 2, "Metro Paging"}}));
    EXPECT_FALSE(view.page(QStringLiteral("0")));
    EXPECT_FALSE(view.page(QStringLiteral("+") + id));
    EXPECT_FALSE(view.snapshot().lastCheck);

    // The call is in progress while the terminal takes the pages.
    std::optional<HttpCallInProgress> during;
    modem.setOnBlock([&](const ScriptedModem::Block&) { during = view.callInProgress(); });
    minuteTick();

    ASSERT_TRUE(during) << "no call seen while the terminal took a page";
    EXPECT_EQ(during->company, "5551234");
    EXPECT_FALSE(view.callInProgress());
    const std::optional<HttpPageRecord> record = view.page(id);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->state, HttpPageState::Delivered);
    EXPECT_EQ(record->to, "alice");
    EXPECT_EQ(record->pin, "1001");
    ASSERT_GE(record->history.size(), 3);
    EXPECT_EQ(record->history.front().state, HttpPageState::Queued);
    EXPECT_EQ(record->history.back().state, HttpPageState::Delivered);
    EXPECT_TRUE(view.queuedByCompany().isEmpty());

    const HttpMetricsSnapshot counts = view.snapshot();
    EXPECT_EQ(counts.acceptedHttp, 1u);
    EXPECT_EQ(counts.acceptedWorkstation, 1u);
    EXPECT_EQ(counts.delivered, 2u);
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_EQ(counts.queued, 0u);
    EXPECT_EQ(counts.calls, 1u);
    EXPECT_EQ(counts.callsFailed, 0u);
    EXPECT_GT(counts.lineSeconds, 0.0);
    EXPECT_TRUE(counts.lastCheck);
    EXPECT_FALSE(counts.version.isEmpty());
}

TEST_F(RuntimeHttp, ACallThatNeverReachesTheTerminalIsCountedFailed)
{
    page({"alice"}, "disk full");
    modem.setDefaultDialResult("NO CARRIER");
    minuteTick();
    const HttpMetricsSnapshot counts = http().view().snapshot();
    EXPECT_EQ(counts.calls, 1u);
    EXPECT_EQ(counts.callsFailed, 1u);
    EXPECT_EQ(counts.queued, 1u) << "the page waits for the next call";
    EXPECT_FALSE(http().view().callInProgress());
}

// Another process renames the store's table under the running server: the pages cannot be read,
// the answers are empty and the health check says why, until a read succeeds again.
TEST_F(RuntimeHttp, APageStoreThatCannotBeReadGivesEmptyAnswersAndAHealthProblem)
{
    const QString id = page({"alice"}, "disk full").pages.value(0).id;
    ASSERT_FALSE(id.isEmpty());
    const HttpStatusView& view = http().view();
    const auto alter = [&](const QString& statement) {
        const QString name = QStringLiteral("other-process");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(store().filePath());
            ASSERT_TRUE(other.open());
            QSqlQuery query(other);
            ASSERT_TRUE(query.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase(name);
    };

    alter(QStringLiteral("ALTER TABLE pages RENAME TO gone"));
    EXPECT_FALSE(view.page(id));
    EXPECT_TRUE(view.recentPages(100).isEmpty());
    EXPECT_EQ(view.snapshot().queued, 0u);
    const std::optional<QByteArray> problem = view.queueProblem();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(problem->contains("cannot be read")) << problem->constData();

    alter(QStringLiteral("ALTER TABLE gone RENAME TO pages"));
    EXPECT_TRUE(view.page(id));
    EXPECT_FALSE(view.queueProblem());
}

// Http.Dat read at start and at every reload: the same port keeps the listener and its
// connections, another port moves it, a damaged file keeps what runs.
TEST_F(RuntimeHttp, AReloadKeepsTheListenerOnTheSamePortAndMovesItWithTheFile)
{
    EXPECT_FALSE(http().frontEnd().isListening()) << "off without Http.Dat";
    const QByteArray first = freeLoopbackPort();
    dir.write(HttpSettings::FileName, "[HTTP]\r\nEnabled=1\r\nPort=" + first + "\r\n");
    runtime.reload();
    ASSERT_TRUE(http().frontEnd().isListening());
    EXPECT_EQ(QByteArray::number(http().frontEnd().port()), first);
    EXPECT_TRUE(logged(core.connectionLog(), "HTTP Listening on port " + first));

    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), first.toUShort());
    ASSERT_TRUE(client.waitForConnected(5000));
    pump(50);
    runtime.reload();
    pump(50);
    EXPECT_EQ(client.state(), QAbstractSocket::ConnectedState) << "the same port keeps it";

    dir.write(HttpSettings::FileName, "[HTTP]\r\nEnabled=1\r\nPort=99999\r\n");
    runtime.reload();
    EXPECT_EQ(QByteArray::number(http().frontEnd().port()), first);
    ASSERT_FALSE(prompts.shown().isEmpty());
    EXPECT_TRUE(prompts.shown().last().contains(QStringLiteral("keeps the settings in use")))
        << prompts.shown().last().toStdString();

    const QByteArray second = freeLoopbackPort();
    dir.write(HttpSettings::FileName, "[HTTP]\r\nEnabled=1\r\nPort=" + second + "\r\n");
    runtime.reload();
    EXPECT_EQ(QByteArray::number(http().frontEnd().port()), second);
    EXPECT_TRUE(pumpUntil([&] { return client.state() != QAbstractSocket::ConnectedState; }, 5000));

    dir.write(HttpSettings::FileName, "[HTTP]\r\nEnabled=0\r\nPort=" + second + "\r\n");
    runtime.reload();
    EXPECT_FALSE(http().frontEnd().isListening());
}

} // namespace
