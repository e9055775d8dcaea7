#include "serial/tomxcom32.h"

#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "serial/customrate.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/tempdatadir.h"

#include <QFile>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

class ComPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        port.setPacing(pacing);
        ASSERT_TRUE(modem.isValid());
        ASSERT_TRUE(modem.linkAs(dir.path(), 1));
        modem.setEcho(false);
        port.setDeviceDirectory(dir.path());
        port.setComPort(pnCOM1);
    }

    // Runs the event loop until `done` holds or `seconds` (scaled) have passed.
    bool waitFor(const std::function<bool()>& done, int seconds = 30)
    {
        TTimeCounter counter(pacing);
        counter.setTimeOut(seconds);
        counter.Start();
        return waitUntil(counter, done);
    }

    Pacing pacing{0.005};
    TempDataDir dir;
    ScriptedModem modem;
    TOMXCom32 port;
};

TEST_F(ComPortTest, NewComponentHoldsItsInitialSettings)
{
    TOMXCom32 fresh;
    EXPECT_EQ(fresh.ComPort(), pnCOM2);
    EXPECT_EQ(fresh.ComPortSpeed(), br9600);
    EXPECT_EQ(fresh.ComPortDataBits(), db8BITS);
    EXPECT_EQ(fresh.ComPortStopBits(), sb1BITS);
    EXPECT_EQ(fresh.ComPortParity(), ptNONE);
    EXPECT_EQ(fresh.ComPortHwHandshaking(), hhNONE);
    EXPECT_EQ(fresh.ComPortSwHandshaking(), shNONE);
    EXPECT_EQ(fresh.ComPortInBufSize(), 2048);
    EXPECT_EQ(fresh.ComPortOutBufSize(), 2048);
    EXPECT_EQ(fresh.ComPortPollingDelay(), 0);
    EXPECT_EQ(fresh.Events(), TCommEvents());
    EXPECT_EQ(fresh.receiveBufferSize(), 2048);
    EXPECT_FALSE(fresh.PortOpen());
}

TEST_F(ComPortTest, ComPortNamesTheLinkInTheDeviceFolderOrTheSystemPort)
{
    EXPECT_EQ(port.devicePath(), dir.path() + QStringLiteral("/COM1"));
    port.setComPort(pnCOM4);
    EXPECT_EQ(port.devicePath(), QStringLiteral("/dev/ttyS3"));
    port.setComPort(static_cast<TComPortNumber>(-1));
    EXPECT_TRUE(port.devicePath().isEmpty());
    EXPECT_FALSE(port.OpenPort());
}

TEST_F(ComPortTest, OpenFailsQuietlyOnSomethingThatIsNoTerminal)
{
    dir.write(QStringLiteral("COM3"), "not a device");
    port.setComPort(pnCOM3);
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.handle(), -1);
}

TEST_F(ComPortTest, OpenPutsTheDeviceInRawModeAndComPortIsIgnoredWhileOpen)
{
    ASSERT_TRUE(port.OpenPort());
    EXPECT_TRUE(port.PortOpen());
    EXPECT_FALSE(port.Aborted());
    termios t{};
    ASSERT_EQ(tcgetattr(port.handle(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_NE(t.c_cflag & HUPCL, 0u);

    port.setComPort(pnCOM3);
    EXPECT_EQ(port.ComPort(), pnCOM1);
    EXPECT_TRUE(port.OpenPort()) << "opening an open port is a success";
    port.ClosePort();
    EXPECT_TRUE(port.Aborted());
    EXPECT_EQ(port.ComPort(), pnCOM1) << "an assignment while open is not remembered";
    port.setComPort(pnCOM3);
    EXPECT_EQ(port.ComPort(), pnCOM3);
}

TEST_F(ComPortTest, SettingsReachAnOpenDeviceAtOnceIncludingRatesWithoutAConstant)
{
    port.setComPortSpeed(br14400);
    ASSERT_TRUE(port.OpenPort());
    EXPECT_EQ(deviceBitRate(port.handle()), 14400);
    port.setComPortSpeed(br56000);
    EXPECT_EQ(deviceBitRate(port.handle()), 56000);
    port.setComPortSpeed(br2400);
    EXPECT_EQ(deviceBitRate(port.handle()), 2400);
    port.setComPortSwHandshaking(shXONXOFF);
    termios t{};
    ASSERT_EQ(tcgetattr(port.handle(), &t), 0);
    EXPECT_NE(t.c_iflag & IXON, 0u);
}

TEST_F(ComPortTest, ClosingDropsTheLineAndCanBeReopened)
{
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    port.ClosePort();
    EXPECT_FALSE(port.PortOpen());
    EXPECT_TRUE(modem.waitForHangUp(30));
    EXPECT_EQ(modem.hangUps(), 1);
    port.ClosePort(); // closing a closed port does nothing
    ASSERT_TRUE(port.OpenPort());
    EXPECT_FALSE(port.Aborted());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
}

TEST_F(ComPortTest, SendCommandWritesCrLfAndWaitsForOk)
{
    ASSERT_TRUE(port.OpenPort());
    EXPECT_TRUE(port.SendCommand("ATZ"));
    EXPECT_EQ(modem.received(), QByteArray("ATZ\r\n"));
    EXPECT_EQ(modem.commands(), QList<QByteArray>{"ATZ"});

    modem.setCommandReply(ScriptedModem::silence());
    EXPECT_FALSE(port.SendCommand("ATE1"));
    port.ClosePort();
    EXPECT_FALSE(port.WriteData("x"));
    EXPECT_FALSE(port.SendString("x"));
}

TEST_F(ComPortTest, WaitMatchesBytesWithTheTopBitSetAndTimesOutOnSilence)
{
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    modem.sendRaw("\r\nNO \xC3\x41RRIER\r\n");
    EXPECT_EQ(port.WaitForReply("CONNECT|BUSY|NO DIAL TONE|NO CARRIER|NO ANSWER|VOICE", 60), 3);
    EXPECT_EQ(port.WaitForReply("OK", 2), -1);
    EXPECT_FALSE(port.Aborted());
}

TEST_F(ComPortTest, PartOfAReplyBeforeTheWaitAndTheRestDuringItStillMatch)
{
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    // An echo and the start of the result are already waiting; the rest comes later.
    modem.sendRaw("atdt 5551234\r\r\nNO CAR");
    QTimer::singleShot(pacing.scaled(500), &modem, [&] { modem.sendRaw("RIER\r\n"); });
    EXPECT_EQ(port.WaitForReply("CONNECT|BUSY|NO DIAL TONE|NO CARRIER|NO ANSWER|VOICE", 60), 3);
}

TEST_F(ComPortTest, ClosingThePortFromAHandlerEndsTheWait)
{
    ASSERT_TRUE(port.OpenPort());
    QTimer::singleShot(0, &modem, [&] { port.ClosePort(); });
    // A time-out this long would hold the suite: the close must end the wait.
    EXPECT_EQ(port.WaitForReply("OK", 1000000), -1);
    EXPECT_TRUE(port.Aborted());
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.WaitForReply("OK", 1000000), -1) << "a wait on a closed port returns at once";
}

TEST_F(ComPortTest, BytesAfterAReplyAreKeptForTheNextWait)
{
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    // One write, so normally one read: the acknowledgement and the go-ahead behind it.
    modem.sendRaw("\r\x06\r\x1b[p\r");
    EXPECT_EQ(port.WaitForReply("\r\x06\r|\r\x15\r", 5), 0);
    EXPECT_EQ(port.WaitForReply("\x1b[p\r", 5), 0);
    // Closing the port forgets what was left.
    modem.sendRaw("OKOK");
    EXPECT_EQ(port.WaitForReply("OK", 5), 0);
    port.ClosePort();
    ASSERT_TRUE(port.OpenPort());
    EXPECT_EQ(port.WaitForReply("OK", 2), -1);
}

QStringList g_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings.append(text);
}

TEST_F(ComPortTest, CloseDuringANestedWaitEndsBothWaitsCleanly)
{
    ASSERT_TRUE(port.OpenPort());
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    int inner = 0;
    QTimer::singleShot(0, &modem, [&] {
        QTimer::singleShot(0, &modem, [&] { port.ClosePort(); });
        inner = port.WaitForReply("OK", 1000000);
    });
    const int outer = port.WaitForReply("OK", 1000000);
    // Let the event loop run over the closed descriptor for a while.
    waitFor([] { return false; }, 3);
    qInstallMessageHandler(previous);
    EXPECT_EQ(inner, -1);
    EXPECT_EQ(outer, -1);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ComPortTest, ReceiveBufferIsReallocatedAndBoundsEachRead)
{
    port.setComPortInBufSize(4);
    EXPECT_EQ(port.receiveBufferSize(), 4);
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    modem.sendRaw("xxxxxxxxOK");
    EXPECT_EQ(port.WaitForReply("OK", 5), 0);

    port.setComPortInBufSize(2048);
    EXPECT_EQ(port.receiveBufferSize(), 2048);
    port.setComPortInBufSize(0);
    EXPECT_EQ(port.receiveBufferSize(), 1) << "a read must be able to take a byte";
    modem.sendRaw("OK");
    EXPECT_EQ(port.WaitForReply("OK", 5), 0);
}

TEST_F(ComPortTest, PollTimerHandsReceivedBytesAndEventsToTheHandlers)
{
    QByteArray data;
    QList<TCommEvents> events;
    port.setComPortPollingDelay(5);
    port.setOnReceiveData([&](const QByteArray& bytes) { data += bytes; });
    port.setOnCommEvent([&](TCommEvents e) { events.append(e); });
    port.setEvents(ceRxChar | ceTxEmpty);
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    modem.sendRaw("hello");
    ASSERT_TRUE(waitFor([&] { return data == "hello"; })) << data.constData();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_TRUE(events.first().testFlag(ceRxChar));

    // Events outside the mask are not reported.
    port.setEvents(TCommEvents());
    events.clear();
    modem.sendRaw("again");
    ASSERT_TRUE(waitFor([&] { return data == "helloagain"; }));
    EXPECT_TRUE(events.isEmpty());

    // Nothing is read once the port is closed.
    port.ClosePort();
    modem.sendRaw("late");
    EXPECT_FALSE(waitFor([&] { return data.size() > 10; }, 3));
}

TEST_F(ComPortTest, WaitSleepsBetweenLooksEvenWhenTheDeviceIsGone)
{
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    modem.sendRaw("O");
    EXPECT_EQ(port.WaitForReply("OK", 1), -1);
    // An idle line: one look per counter tick, give or take the arrival and the last look.
    EXPECT_LE(port.lastWaitPasses(), 10);

    // A vanished device keeps reporting itself readable; its reads fail.
    modem.unplug();
    EXPECT_EQ(port.WaitForReply("OK", 20), -1);
    EXPECT_LE(port.lastWaitPasses(), 40) << "the wait must block between looks, not spin";
    EXPECT_FALSE(port.WriteData("x"));
    port.ClosePort();
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(ComPortTest, BytesArrivingDuringAWaitWakeItWithoutACounterTick)
{
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(waitFor([&] { return modem.lineOpen(); }));
    // Counter ticks far apart: only the arriving bytes can end this wait in time. The wait
    // starts on an idle line, so its first look finds nothing.
    pacing.setScale(1000);
    // Written from another thread, so that no event of this one comes with the bytes.
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        modem.sendRaw("OK");
    });
    // Should the wait sleep until a tick, this ends it with -1 instead of holding the suite.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &modem, [&] { port.ClosePort(); });
    guard.start(30000);
    EXPECT_EQ(port.WaitForReply("OK", 5), 0);
    peer.join();
}

TEST_F(ComPortTest, SecondOpenOfAClaimedDeviceFails)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the exclusive claim does not bind the superuser";
    ASSERT_TRUE(port.OpenPort());
    TOMXCom32 other;
    other.setDeviceDirectory(dir.path());
    other.setComPort(pnCOM1);
    EXPECT_FALSE(other.OpenPort());
}

} // namespace
