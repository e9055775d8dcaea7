#include "pages/notifyrunner.h"
#include "tests/pages/pagestorefixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <signal.h>

namespace {

using Outcome = NotifyRunner::Outcome;

// Generous: only a hang comes near it.
constexpr int Patience = 20'000;

class NotifyRunnerTest : public PageStoreTest
{
protected:
    void SetUp() override
    {
        out = dir.file(QStringLiteral("out"));
        QDir().mkpath(out);
    }

    // A script in the data folder, made executable.
    QByteArray script(const QString& name, const QByteArray& body)
    {
        const QString path = dir.file(name);
        dir.write(name, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path.toLocal8Bit();
    }
    // Records its environment and arguments in out/<page id>.<its pid>.
    QByteArray recorder()
    {
        return script(QStringLiteral("record.sh"),
                      "out=\"$1\"; shift\n"
                      "{\n"
                      "  for v in ZELKOR_PAGE_ID ZELKOR_PAGE_STATE ZELKOR_PAGE_REASON "
                      "ZELKOR_PAGER_ID ZELKOR_PAGE_PIN ZELKOR_PAGE_COMPANY ZELKOR_PAGE_SENDER "
                      "ZELKOR_PAGE_ACCEPTED ZELKOR_PAGE_FINISHED; do\n"
                      "    eval \"printf '%s=%s\\n' $v \\\"\\$$v\\\"\"\n"
                      "  done\n"
                      "  for a in \"$@\"; do printf 'arg=[%s]\\n' \"$a\"; done\n"
                      "} > \"$out/$ZELKOR_PAGE_ID.$$\"\n");
    }
    // The runs recorded for a page: one list of lines each.
    QList<QList<QByteArray>> runsOf(qint64 id) const
    {
        QList<QList<QByteArray>> runs;
        const QStringList files =
            QDir(out).entryList({QString::number(id) + QStringLiteral(".*")}, QDir::Files);
        for (const QString& f : files) {
            QFile file(out + QLatin1Char('/') + f);
            if (file.open(QIODevice::ReadOnly))
                runs.append(file.readAll().split('\n'));
        }
        return runs;
    }
    int recordedRuns() const { return int(QDir(out).entryList(QDir::Files).size()); }
    static QByteArray value(const QList<QByteArray>& lines, const QByteArray& name)
    {
        for (const QByteArray& line : lines) {
            if (line.startsWith(name + '='))
                return line.mid(name.size() + 1);
        }
        return "(missing)";
    }
    qint64 finished(const QByteArray& text, const QByteArray& reason = {})
    {
        const qint64 id = take(newPage("5551000", text, "4711"));
        pages().markSending(id);
        if (reason.isEmpty())
            pageQueue().delivered(id, "5551000", *lineOf(id));
        else
            pageQueue().failed(id, reason, "5551000", *lineOf(id));
        return id;
    }

    QString out;
};

TEST_F(NotifyRunnerTest, EachFinalPageRunsTheCommandOnceWithItsFateAndArgumentsWithoutAShell)
{
    NotifyRunner runner(pages());
    QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
    const QString pwned = dir.file(QStringLiteral("pwned"));
    runner.setCommand(recorder() + ' ' + out.toLocal8Bit() +
                      " 'two  words' \"say \\\"hi\\\"\" $HOME ';' touch " + pwned.toLocal8Bit() +
                      " '$(touch " + pwned.toLocal8Bit() + ")'");
    const qint64 delivered = finished("disk full");
    const qint64 failed = finished("load high", "Invalid ID Or Bad Link!");
    const qint64 waiting = take(newPage("5552000", "still waiting"));
    const QList<qint64> cancelled = pages().markCancelled("Message Queue Cleared!");
    ASSERT_EQ(cancelled, QList<qint64>{waiting});

    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() >= 3; }, Patience));
    QTest::qWait(200); // nothing more comes
    EXPECT_EQ(ended.size(), 3);
    for (const auto& signal : ended)
        EXPECT_EQ(signal[1].value<Outcome>(), Outcome::Succeeded)
            << signal[2].toByteArray().constData();

    const QList<QList<QByteArray>> runs = runsOf(failed);
    ASSERT_EQ(runs.size(), 1);
    const QList<QByteArray>& lines = runs.first();
    EXPECT_EQ(value(lines, "ZELKOR_PAGE_ID"), QByteArray::number(failed));
    EXPECT_EQ(value(lines, "ZELKOR_PAGE_STATE"), "failed");
    EXPECT_EQ(value(lines, "ZELKOR_PAGE_REASON"), "Invalid ID Or Bad Link!");
    EXPECT_EQ(value(lines, "ZELKOR_PAGER_ID"), "4711@Acme");
    EXPECT_EQ(value(lines, "ZELKOR_PAGE_PIN"), "4711");
    EXPECT_EQ(value(lines, "ZELKOR_PAGE_COMPANY"), "5551000");
    EXPECT_EQ(value(lines, "ZELKOR_PAGE_SENDER"), "10.0.0.5");
    for (const QByteArray name : {"ZELKOR_PAGE_ACCEPTED", "ZELKOR_PAGE_FINISHED"}) {
        const QByteArray text = value(lines, name);
        const QDateTime at = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
        EXPECT_TRUE(at.isValid()) << name.constData() << ": " << text.constData();
        EXPECT_EQ(at.toUTC(), clock) << name.constData() << ": " << text.constData();
        EXPECT_TRUE(text.endsWith('Z') || text.at(text.size() - 6) == '+' ||
                    text.at(text.size() - 6) == '-')
            << name.constData() << " has no offset: " << text.constData();
    }
    QList<QByteArray> arguments;
    for (const QByteArray& line : lines) {
        if (line.startsWith("arg="))
            arguments.append(line.mid(4));
    }
    EXPECT_EQ(arguments, (QList<QByteArray>{"[two  words]", "[say \"hi\"]", "[$HOME]", "[;]",
                                            "[touch]", '[' + pwned.toLocal8Bit() + ']',
                                            "[$(touch " + pwned.toLocal8Bit() + ")]"}));
    EXPECT_FALSE(QFile::exists(pwned)) << "a shell ran the command line";

    ASSERT_EQ(runsOf(delivered).size(), 1);
    EXPECT_EQ(value(runsOf(delivered).first(), "ZELKOR_PAGE_STATE"), "delivered");
    EXPECT_EQ(value(runsOf(delivered).first(), "ZELKOR_PAGE_REASON"), "");
    ASSERT_EQ(runsOf(waiting).size(), 1);
    EXPECT_EQ(value(runsOf(waiting).first(), "ZELKOR_PAGE_STATE"), "cancelled");
}

TEST_F(NotifyRunnerTest, ARestartRunsWhatNeverStartedAndNothingTwice)
{
    const QByteArray command = recorder() + ' ' + out.toLocal8Bit();
    qint64 first = 0;
    {
        NotifyRunner runner(pages());
        QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
        runner.setCommand(command);
        first = finished("one");
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 1; }, Patience));
    }
    // Final while no runner was there, as when the server stopped before it got to them.
    const qint64 second = finished("two");
    const qint64 third = finished("three", "Line Busy!");
    for (int restart = 0; restart < 2; ++restart) {
        reopen();
        NotifyRunner runner(pages());
        QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
        runner.setCommand(command);
        runner.poll();
        if (restart == 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 2; }, Patience));
        }
        QTest::qWait(200);
        EXPECT_EQ(ended.size(), restart == 0 ? 2 : 0) << "restart " << restart;
    }
    EXPECT_EQ(runsOf(first).size(), 1);
    EXPECT_EQ(runsOf(second).size(), 1);
    EXPECT_EQ(runsOf(third).size(), 1);
}

TEST_F(NotifyRunnerTest, WithoutACommandPagesAreSettledAndNotRunLater)
{
    NotifyRunner runner(pages());
    const qint64 early = finished("ended with no command set");
    runner.poll();
    runner.setCommand(recorder() + ' ' + out.toLocal8Bit());
    QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
    const qint64 later = finished("ended with a command");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 1; }, Patience));
    EXPECT_EQ(ended.first()[0].toLongLong(), later);
    EXPECT_TRUE(runsOf(early).isEmpty());
}

TEST_F(NotifyRunnerTest, ACommandPastItsTimeLimitIsKilledWithWhatItStarted)
{
    NotifyRunner runner(pages());
    QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
    runner.setTimeLimit(300);
    runner.setCommand(
        script(QStringLiteral("hang.sh"), "sleep 120 &\necho $! > \"$1/child\"\nwait\n") + ' ' +
        out.toLocal8Bit());
    finished("hangs");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 1; }, Patience));
    EXPECT_EQ(ended.first()[1].value<Outcome>(), Outcome::TimedOut);
    EXPECT_TRUE(ended.first()[2].toByteArray().contains("killed after 0.3 s"))
        << ended.first()[2].toByteArray().constData();
    EXPECT_EQ(runner.running(), 0);

    QFile childFile(out + QStringLiteral("/child"));
    ASSERT_TRUE(childFile.open(QIODevice::ReadOnly));
    const pid_t child = childFile.readAll().trimmed().toInt();
    ASSERT_GT(child, 0);
    // Gone, or a zombie that nobody has reaped yet: either way no longer running.
    const auto running = [child] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close >= 0 && line.size() > close + 2 && line.at(close + 2) != 'Z';
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return !running(); }, Patience))
        << "what the command started outlived its time limit";
    if (running())
        ::kill(child, SIGKILL);
}

TEST_F(NotifyRunnerTest, ItNeverBlocksTheCallerAndRunsAtMostAFewAtATime)
{
    NotifyRunner runner(pages());
    QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
    runner.setMaxRunning(2);
    runner.setCommand(script(QStringLiteral("slow.sh"),
                             "touch \"$1/running.$$\"\n"
                             "ls \"$1\" | grep -c '^running' > \"$1/seen.$$\"\n"
                             "sleep 0.3\n"
                             "rm \"$1/running.$$\"\n") +
                      ' ' + out.toLocal8Bit());
    for (int i = 0; i < 5; ++i)
        finished("page " + QByteArray::number(i));
    // Every page is final; their commands have not even been started yet.
    EXPECT_EQ(runner.running(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(runner.running(), 2) << "poll() waits for no command";
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 5; }, Patience));
    int most = 0;
    for (const QString& f : QDir(out).entryList({QStringLiteral("seen.*")}, QDir::Files)) {
        QFile seen(out + QLatin1Char('/') + f);
        ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
        most = qMax(most, seen.readAll().trimmed().toInt());
    }
    EXPECT_GE(most, 1);
    EXPECT_LE(most, 2) << "more commands ran at once than allowed";
}

TEST_F(NotifyRunnerTest, AFailingOrMissingCommandIsReportedAndNotRetried)
{
    NotifyRunner runner(pages());
    QSignalSpy ended(&runner, &NotifyRunner::commandEnded);
    runner.setCommand(script(QStringLiteral("fail.sh"), "echo 'boom: no mail relay'\nexit 3\n"));
    const qint64 failing = finished("fails");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 1; }, Patience));
    EXPECT_EQ(ended[0][1].value<Outcome>(), Outcome::Failed);
    EXPECT_EQ(ended[0][2].toByteArray(), "Notify command for page " + QByteArray::number(failing) +
                                             " ended with status 3: boom: no mail relay");

    runner.setCommand(dir.file(QStringLiteral("no-such-program")).toLocal8Bit());
    finished("cannot start");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 2; }, Patience));
    EXPECT_EQ(ended[1][1].value<Outcome>(), Outcome::NotStarted);
    EXPECT_TRUE(ended[1][2].toByteArray().contains("could not be started"));

    reopen();
    NotifyRunner again(pages());
    QSignalSpy endedAgain(&again, &NotifyRunner::commandEnded);
    again.setCommand(recorder() + ' ' + out.toLocal8Bit());
    again.poll();
    QTest::qWait(200);
    EXPECT_EQ(endedAgain.size(), 0);
    EXPECT_EQ(recordedRuns(), 0);
}

} // namespace
