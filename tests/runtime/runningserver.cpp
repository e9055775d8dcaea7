#include "tests/runtime/runningserver.h"

#include "net/tsock.h"
#include "queue/messagequeue.h"
#include "queue/messagequeuefile.h"
#include "tests/support/logtexts.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"

#include <QDateTime>

void RunningServerTest::SetUp()
{
    pacing.setScale(0.02);
    ASSERT_TRUE(modem.isValid()) << "no pseudo-terminal for the modem";
    ASSERT_TRUE(modem.linkAs(dir.path(), 1));
    dir.write(QStringLiteral("Allow.txt"), "555\r\n");
    configure([](TServerConfig& c) {
        c.ComPort = 0;
        c.ComPortSpeed = 6; // 9600
        c.FlowControl = 0;
        c.Logging = true;
        c.Port = "0";
        c.QueTime = 3;
    });
    ASSERT_TRUE(runtime.start(ServerRuntime::WithoutListener::Run));
    port = runtime.listener().Sock1().LocalPort();
    ASSERT_NE(port, 0);
    core.setNextCheck(1);
    // Queued, as the window takes it: the run has returned before the close.
    QObject::connect(
        &runtime, &ServerRuntime::closeDue, &runtime, [this] { requestClose(); },
        Qt::QueuedConnection);
}

void RunningServerTest::TearDown()
{
    runtime.stopTakingPages();
}

QByteArray RunningServerTest::block(const QByteArray& pin, const QByteArray& message,
                                    const QByteArray& signature)
{
    const QList<QByteArray> lines{"MSG: " + message, "SIG: " + signature, "PIN: " + pin,
                                  "ID: Pat",         "AN: 5551234",       "LENGTH: 80",
                                  "PARITY: 2",       "DATA: 2",           "STOP: 0"};
    return lines.join("\r\n").toBase64();
}

QList<QByteArray> RunningServerTest::submit(const QByteArray& pin, const QByteArray& message,
                                            const QByteArray& signature)
{
    QList<QByteArray> replies;
    runWhilePumping([&] {
        WorkstationClient client;
        if (!client.connectTo(port))
            return;
        replies.append(client.exchange("HELO 127.0.0.1", "250 " + TSock::LocalAddress()));
        replies.append(client.exchange("PAGE 555-1234", "250 OK"));
        replies.append(client.exchange("DATA", "354 Begin Sending Message"));
        const QByteArray accepted = "250 Message Accepted For Processing";
        replies.append(client.exchange(block(pin, message, signature), accepted));
        if (replies.last() != accepted) {
            client.abort();
            return;
        }
        replies.append(client.exchange("DONE", "250 Recieved 1 Msg(s), Delivery in 1 Min."));
    });
    return replies;
}

void RunningServerTest::minuteTick()
{
    runtime.tick(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));
}

bool RunningServerTest::requestClose()
{
    if (!runtime.closeQuery())
        return false;
    runtime.close();
    closed = true;
    return true;
}

QList<QByteArray> RunningServerTest::queuedSections() const
{
    return MessageQueueFile(core.queue().path()).sectionNames();
}

QStringList RunningServerTest::transmitTexts() const
{
    return LogTexts::withoutTimeStamps(core.transmitLog());
}

QList<QByteArray> RunningServerTest::logTexts() const
{
    return LogTexts::transactionLog(dir.path());
}
