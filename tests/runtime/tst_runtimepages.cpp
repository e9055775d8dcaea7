#include "directories/sharedpaths.h"
#include "net/tsock.h"
#include "pages/notifyrunner.h"
#include "pages/pagequeue.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "runtime/pagekeeping.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "tests/runtime/runningserver.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// Every page the running server takes, from a workstation or a paging client, has an id in the
// page store, and the run records what became of it.
class PageFates : public RunningServerTest
{
protected:
    void SetUp() override
    {
        RunningServerTest::SetUp();
        dir.write(SharedPaths::ProviderFileName,
                  "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                  "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        ASSERT_FALSE(snppServer().listen(0));
    }

    SnppServer& snppServer() { return runtime.snpp().gateway().server(); }
    PageStore& store() { return runtime.pages().store(); }

    // One paging client's page for `pin` at Metro Paging; the reply to its SEND.
    QByteArray sendSnpp(const QByteArray& pin, const QByteArray& message)
    {
        QByteArray reply;
        runWhilePumping([&] {
            SnppClient client(snppServer().port());
            client.line();
            client.command("PAGE " + pin + "@Metro Paging");
            client.command("MESS " + message);
            reply = client.command("SEND");
            client.send("QUIT\r\n");
            client.rest();
        });
        return reply;
    }

    // The id of the only page for `pin`.
    qint64 idOf(const QByteArray& pin)
    {
        qint64 found = 0;
        for (const PageRecord& page : store().recent()) {
            if (page.pin == pin) {
                EXPECT_EQ(found, 0) << "two pages for " << pin.constData();
                found = page.id;
            }
        }
        EXPECT_NE(found, 0) << "no page for " << pin.constData();
        return found;
    }

    PageState stateOf(qint64 id) { return store().page(id).value_or(PageRecord{}).state; }

    // A notify command that appends "id state reason" for each page to a file.
    QString installNotifyScript()
    {
        const QString out = dir.file(QStringLiteral("notified.txt"));
        const QString script = dir.file(QStringLiteral("notify.sh"));
        dir.write(QStringLiteral("notify.sh"),
                  "#!/bin/sh\necho \"$ZELKOR_PAGE_ID $ZELKOR_PAGE_STATE $ZELKOR_PAGE_REASON\" "
                  ">> \"$1\"\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        dir.write(QStringLiteral("Pages.Dat"),
                  "[Pages]\r\nNotifyCommand=" + script.toUtf8() + " " + out.toUtf8() + "\r\n");
        runtime.pages().loadSettings();
        return out;
    }

    // The notify commands' lines once none is running and `expected` lines are there (or a
    // generous bound has passed, which only a hang reaches).
    QList<QByteArray> notified(const QString& out, int expected)
    {
        QDeadlineTimer bound(20'000);
        QList<QByteArray> lines;
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QFile file(out);
            lines.clear();
            if (file.open(QIODevice::ReadOnly))
                lines = file.readAll().trimmed().split('\n');
            lines.removeAll(QByteArray());
        } while ((lines.size() < expected || runtime.pages().notifier().running() > 0) &&
                 !bound.hasExpired());
        return lines;
    }

    QList<QByteArray> logged() const { return logTexts(); }

    // A workstation's page for 555-1234 with its own password and length; the reply to the
    // data block.
    QByteArray submitWith(const QByteArray& pin, const QByteArray& message,
                          const QByteArray& password, int length)
    {
        const QList<QByteArray> lines{"MSG: " + message,
                                      "SIG: ",
                                      "PIN: " + pin,
                                      "ID: Pat",
                                      "AN: 5551234",
                                      "PW: " + password,
                                      "LENGTH: " + QByteArray::number(length),
                                      "PARITY: 2",
                                      "DATA: 2",
                                      "STOP: 0"};
        QByteArray reply;
        runWhilePumping([&] {
            WorkstationClient client;
            if (!client.connectTo(port))
                return;
            client.exchange("HELO 127.0.0.1", "250 " + TSock::LocalAddress());
            client.exchange("PAGE 555-1234", "250 OK");
            client.exchange("DATA", "354 Begin Sending Message");
            reply = client.exchange(lines.join("\r\n").toBase64(),
                                    "250 Message Accepted For Processing");
            client.exchange("DONE", "250 Recieved 1 Msg(s), Delivery in 1 Min.");
        });
        return reply;
    }

    // A paging client's whole transaction for `pin`, as one raw exchange; the reply to SEND.
    static QByteArray snppTransaction(quint16 snppPort, const QByteArray& pin,
                                      const QByteArray& message)
    {
        SnppClient client(snppPort);
        client.line();
        client.command("PAGE " + pin + "@Metro Paging");
        client.command("MESS " + message);
        const QByteArray reply = client.command("SEND");
        client.send("QUIT\r\n");
        client.rest();
        return reply;
    }
};

TEST_F(PageFates, PagesFromBothFrontEndsGetIdsAndEndDelivered)
{
    submit("1111111", "From a workstation");
    EXPECT_EQ(sendSnpp("2222222", "From a paging client"), "250 Message Sent Successfully (Ids 2)");

    const qint64 first = idOf("1111111");
    const qint64 second = idOf("2222222");
    EXPECT_NE(first, second);
    EXPECT_EQ(stateOf(first), PageState::Queued);
    EXPECT_EQ(store().page(second)->frontEnd, FrontEnd::Snpp);
    EXPECT_EQ(store().page(second)->pagerId, "2222222@Metro Paging");
    EXPECT_EQ(store().page(first)->frontEnd, FrontEnd::Workstation);
    EXPECT_EQ(core.queuedCount(), 2) << "the queue's owner counts what the store wrote";
    const QList<QByteArray> log = logged();
    EXPECT_TRUE(log.contains("Page " + QByteArray::number(first) + " Queued: 5551234 1111111"));
    EXPECT_TRUE(log.contains("Page " + QByteArray::number(second) + " Queued: 5551234 2222222"));
    EXPECT_TRUE(log.contains("Message Received From: 127.0.0.1")) << "the old lines stay";

    minuteTick();

    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}));
    for (const qint64 id : {first, second}) {
        const std::optional<PageRecord> page = store().page(id);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->state, PageState::Delivered);
        EXPECT_FALSE(page->inQueue);
        EXPECT_TRUE(
            logged().contains("Sending Page " + QByteArray::number(id) + " To: " + page->pin));
    }
    EXPECT_EQ(core.queuedCount(), 0);
}

TEST_F(PageFates, ARefusedPageFailsWithItsReasonAndEachFinalPageIsNotifiedOnce)
{
    const QString out = installNotifyScript();
    submit("1111111", "Refused");
    submit("2222222", "Taken");
    const qint64 refused = idOf("1111111");
    const qint64 taken = idOf("2222222");
    modem.queueBlockReplies({ScriptedModem::rs(), ScriptedModem::ack()});

    minuteTick();

    const std::optional<PageRecord> page = store().page(refused);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->state, PageState::Failed);
    EXPECT_FALSE(page->reason.isEmpty());
    EXPECT_FALSE(page->inQueue);
    EXPECT_EQ(stateOf(taken), PageState::Delivered);
    const QList<QByteArray> lines = notified(out, 2);
    ASSERT_EQ(lines.size(), 2) << lines.join('|').constData();
    EXPECT_TRUE(lines.contains(QByteArray::number(refused) + " failed " + page->reason));
    EXPECT_TRUE(lines.contains(QByteArray::number(taken) + " delivered"));

    // Later checks, and a new page's fate, run no command a second time.
    submit("3333333", "Later");
    core.setNextCheck(1);
    minuteTick();
    const QList<QByteArray> after = notified(out, 3);
    EXPECT_EQ(after.size(), 3) << after.join('|').constData();
    EXPECT_EQ(after.count(QByteArray::number(refused) + " failed " + page->reason), 1);
}

TEST_F(PageFates, AConnectionFailureKeepsThePagesQueuedForTheNextCheck)
{
    modem.setDialResult("5551234", "BUSY");
    submit("1111111", "Wait for the line");
    const qint64 id = idOf("1111111");

    minuteTick();

    EXPECT_TRUE(modem.blocks().isEmpty());
    EXPECT_EQ(stateOf(id), PageState::Queued);
    EXPECT_TRUE(store().page(id)->inQueue);
    EXPECT_EQ(core.queuedCount(), 1);

    modem.setDialResult("5551234", "CONNECT 2400");
    core.setNextCheck(1);
    minuteTick();
    EXPECT_EQ(modem.pins(), QList<QByteArray>{"1111111"});
    EXPECT_EQ(stateOf(id), PageState::Delivered);
}

TEST_F(PageFates, AHeldPageStaysQueuedUntilItsTimeAndClearingCancelsIt)
{
    submit("1111111", "Now");
    NewPage held;
    held.pagerId = "9999999@Metro Paging";
    held.section = "5551234";
    held.settings.parity = 2; // as the workstation's page gave its company
    held.settings.dataBits = 2;
    held.settings.stopBits = 0;
    held.entry.pin = "9999999";
    held.entry.message = "Not yet";
    held.entry.sender = "127.0.0.1";
    held.notBefore = QDateTime::currentDateTime().addDays(1);
    const std::optional<QList<qint64>> ids = runtime.pages().pageQueue().take({held});
    ASSERT_TRUE(ids && ids->size() == 1);

    minuteTick();

    EXPECT_EQ(modem.pins(), QList<QByteArray>{"1111111"}) << "a held page went out early";
    EXPECT_EQ(stateOf(ids->first()), PageState::Held);
    EXPECT_TRUE(store().page(ids->first())->inQueue);

    prompts.expectQuestion(QStringLiteral("Clear All Queued Messages?"), true);
    runtime.clearQueue();
    EXPECT_EQ(stateOf(ids->first()), PageState::Cancelled);
    EXPECT_EQ(core.queuedCount(), 0);
}

// A paging client's HOLD: the page is taken and kept, with the caller's name, and goes out at the
// first check after its time, not before; a check before it does not call its company at all.
TEST_F(PageFates, AnSnppPageHeldUntilATimeGoesOutAtTheFirstCheckAfterIt)
{
    const QDateTime until = QDateTime::currentDateTimeUtc().addSecs(2);
    runWhilePumping([&] {
        SnppClient client(snppServer().port());
        client.line();
        client.command("PAGE 3333333@Metro Paging");
        EXPECT_EQ(client.command("HOLD " +
                                 until.toString(QStringLiteral("yyMMddHHmmss")).toLatin1() +
                                 " +0000"),
                  "250 Delayed Messaging Selected");
        EXPECT_EQ(client.command("CALL ops-desk"), "250 Caller ID Accepted");
        client.command("MESS Later");
        EXPECT_EQ(client.command("SEND"), "250 Message Sent Successfully (Ids 1)");
        client.send("QUIT\r\n");
        client.rest();
    });
    const qint64 id = idOf("3333333");
    EXPECT_EQ(store().page(id)->senderIdentity, "ops-desk");

    minuteTick();
    EXPECT_TRUE(modem.pins().isEmpty()) << "a held page went out early";
    EXPECT_EQ(stateOf(id), PageState::Held);
    EXPECT_FALSE(logged().contains("Sending Messages For: 5551234"))
        << "a company with nothing to send was called";

    // Only a hang would reach the bound; the time is the wall clock's.
    QDeadlineTimer bound(20'000);
    while (QDateTime::currentDateTimeUtc() <= until && !bound.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    runtime.sendNow();
    EXPECT_EQ(modem.pins(), QList<QByteArray>{"3333333"});
    EXPECT_EQ(stateOf(id), PageState::Delivered);
}

// A server that died during a call: the next start puts the page back in the queue, its first
// check sends it, and the ids the new server hands out are new.
TEST_F(PageFates, ARestartRequeuesAPageCutOffInItsCallAndKeepsIdsUnique)
{
    submit("1111111", "Cut off");
    const qint64 cut = idOf("1111111");
    ASSERT_TRUE(store().markSending(cut)) << "as the run marks it before the terminal";
    runtime.stopTakingPages();

    ServerRuntime next(dir.path(), prompts);
    next.setPacing(pacing);
    next.state().setConfig(core.config());
    ASSERT_TRUE(next.start(ServerRuntime::WithoutListener::Run));
    EXPECT_EQ(next.pages().store().page(cut)->state, PageState::Queued);
    port = next.listener().Sock1().LocalPort();
    submit("2222222", "After the restart");
    qint64 later = 0;
    for (const PageRecord& page : next.pages().store().recent())
        if (page.pin == "2222222")
            later = page.id;
    EXPECT_GT(later, cut);

    next.state().setNextCheck(1);
    next.tick(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}))
        << next.state().transmitLog().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(next.pages().store().page(cut)->state, PageState::Delivered);
    next.stopTakingPages();
}

// Each page goes out with the password and length it was accepted with. A workstation's page that
// says a length of 40 (too short for the others' texts) and a password for the same number rewrites
// the section's keys; the pages queued before it still go out whole at their own length and log on
// without that password, on a call of their own.
TEST_F(PageFates, EachPageGoesOutWithTheLineSettingsItWasAcceptedWith)
{
    const QByteArray first = "Disk full on the build server, look at it";
    const QByteArray second = "Backups failed three nights on host two";
    EXPECT_EQ(sendSnpp("1111111", first), "250 Message Sent Successfully (Ids 1)");
    EXPECT_EQ(sendSnpp("2222222", second), "250 Message Sent Successfully (Ids 2)");
    EXPECT_EQ(submitWith("3333333", "Short", "secret", 40), "250 Message Accepted For Processing");
    // What the section now says is the workstation's.
    EXPECT_TRUE(dir.read(MessageQueueFile::FileName).contains("Length=40"));

    QList<QByteArray> sent; // "PIN field (log-on line)" per block
    modem.setOnBlock([&](const ScriptedModem::Block& block) {
        sent.append(block.pin + " " + block.field + " (" + modem.logonLines().last() + ")");
    });
    minuteTick();

    const QByteArray plainLogon = modem.logonLines().value(0);
    EXPECT_FALSE(plainLogon.contains("secret"));
    EXPECT_EQ(sent, (QList<QByteArray>{"1111111 " + first + " (" + plainLogon + ")",
                                       "2222222 " + second + " (" + plainLogon + ")",
                                       "3333333 Short (" + modem.logonLines().value(1) + ")"}));
    EXPECT_TRUE(modem.logonLines().value(1).contains("secret"));
    EXPECT_EQ(modem.dialled(), (QList<QByteArray>{"5551234", "5551234"})) << "one call per set";
    for (const qint64 id : {1, 2, 3})
        EXPECT_EQ(stateOf(id), PageState::Delivered) << id;
}

// Paging clients are served while a run delivers the queue: a raw session's and Net::SNPP's
// pages sent during the call are answered "250" at once, stay queued when the run ends (it
// removes only what it handled) and go out at the next check.
TEST_F(PageFates, PagesSentDuringARunAreTakenAndGoOutAtTheNextCheck)
{
    submit("1111111", "Before the run");
    submit("2222222", "Also before");
    const quint16 snppPort = snppServer().port();
    QList<QByteArray> during;
    int perlExit = -1;
    QByteArray perlOutput;
    modem.setOnBlock([&](const ScriptedModem::Block&) {
        if (!during.isEmpty())
            return;
        during.append(core.serverBusy() ? "busy" : "not busy");
        runWhilePumping([&] {
            during.append(snppTransaction(snppPort, "4444444", "Raw during the run"));
            QProcess perl;
            perl.setProcessChannelMode(QProcess::MergedChannels);
            perl.start(QStringLiteral("perl"), {QStringLiteral("-e"), QStringLiteral(R"(
                           use Net::SNPP;
                           my $snpp = Net::SNPP->new('127.0.0.1', Port => $ARGV[0]) or exit 2;
                           $snpp->send(Pager => ['5555555@Metro Paging'],
                                       Message => 'Perl during the run') or exit 3;
                           $snpp->quit;
                       )"),
                                                QString::number(snppPort)});
            if (perl.waitForFinished(60'000))
                perlExit = perl.exitCode();
            perlOutput = perl.readAll();
        });
    });

    minuteTick();

    EXPECT_EQ(during, (QList<QByteArray>{"busy", "250 Message Sent Successfully (Ids 3)"}));
    EXPECT_EQ(perlExit, 0) << perlOutput.constData() << "(is libnet-snpp-perl installed?)";
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222"}));
    EXPECT_EQ(core.queuedCount(), 2) << "the pages taken during the run are counted";
    EXPECT_EQ(stateOf(idOf("4444444")), PageState::Queued);
    EXPECT_EQ(stateOf(idOf("5555555")), PageState::Queued);

    modem.setOnBlock({});
    runtime.sendNow();
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "2222222", "4444444", "5555555"}));
    EXPECT_EQ(stateOf(idOf("4444444")), PageState::Delivered);
    EXPECT_EQ(stateOf(idOf("5555555")), PageState::Delivered);
    EXPECT_EQ(core.queuedCount(), 0);
}

// The operator's test message is recorded like any page: it has an id from the start, goes out
// with the settings its section was given for it (length 140, the section's own password) and
// ends delivered.
TEST_F(PageFates, TheOperatorsTestMessageHasARecordAndAFate)
{
    EXPECT_EQ(submitWith("1111111", "First", "pw1", 80), "250 Message Accepted For Processing");
    prompts.expectInput(QStringLiteral("Enter PIN To Send To:"), QStringLiteral("7777777"));
    prompts.expectInput(QStringLiteral("Enter Paging Co. Access Number:"),
                        QStringLiteral("5551234"));
    runtime.sendTestPage();

    const qint64 id = idOf("7777777");
    const std::optional<PageRecord> page = store().page(id);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->frontEnd, FrontEnd::Test);
    EXPECT_EQ(page->state, PageState::Queued);
    EXPECT_EQ(page->settings.length, 140);
    EXPECT_EQ(page->settings.password, "pw1");
    EXPECT_TRUE(logged().contains("Page " + QByteArray::number(id) + " Queued: 5551234 7777777"));
    EXPECT_EQ(core.queuedCount(), 2);

    minuteTick();
    EXPECT_EQ(modem.pins(), (QList<QByteArray>{"1111111", "7777777"}));
    EXPECT_EQ(modem.dialled(), (QList<QByteArray>{"5551234", "5551234"}))
        << "the test message's length of 140 is a set of settings of its own";
    EXPECT_EQ(stateOf(id), PageState::Delivered);
}

} // namespace
