#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "lines/tapnetworkline.h"
#include "lines/wctpline.h"
#include "tests/lines/wctpendpoint.h"
#include "tests/support/scriptedtapserver.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

// Qt's complaints (a timer started from another thread, a parent on another thread, a socket
// notifier of another thread) are what a line made on the wrong thread would produce.
QList<QByteArray>* g_complaints = nullptr;

void recordComplaint(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && g_complaints)
        g_complaints->append(message.toLocal8Bit());
}

class Complaints final
{
public:
    Complaints() : m_previous(qInstallMessageHandler(recordComplaint)) { g_complaints = &m_list; }
    ~Complaints()
    {
        qInstallMessageHandler(m_previous);
        g_complaints = nullptr;
    }
    const QList<QByteArray>& list() const { return m_list; }

private:
    QtMessageHandler m_previous;
    QList<QByteArray> m_list;
};

// Runs `work` on a thread of its own while this thread serves the far ends; true when it ended.
bool runOnItsOwnThread(const std::function<void()>& work)
{
    std::atomic<bool> done = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        work();
        done = true;
        // Wakes the wait below at once rather than at its counter's next tick.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    }));
    thread->start();
    TTimeCounter counter;
    counter.setTimeOut(60);
    counter.Start();
    const bool ended = waitUntil(counter, [&] { return done.load(); });
    thread->wait();
    return ended;
}

// Each line's engine will run on a thread of its own, made there: its connection, socket and
// waits must live on that thread and pump only its events.
TEST(LineThread, TapAndWctpCallsRunOnAThreadOfTheirOwn)
{
    const Pacing pacing(0.005);
    ScriptedTapServer terminal;
    WctpEndpoint endpoint;
    ASSERT_TRUE(terminal.isListening());
    ASSERT_TRUE(endpoint.isListening());
    const std::optional<CarrierRoute> tap =
        CarrierRoute::parse("tap://127.0.0.1:" + QByteArray::number(terminal.port()));
    const std::optional<CarrierRoute> wctp = CarrierRoute::parse(
        "wctp+http://127.0.0.1:" + QByteArray::number(endpoint.port()) + "/wctp");
    ASSERT_TRUE(tap && wctp);

    Complaints complaints;
    QList<QByteArray> progress;
    bool tapSent = false;
    bool wctpSent = false;
    const bool ended = runOnItsOwnThread([&] {
        TapNetworkLine tapLine(*tap);
        WctpLine wctpLine(*wctp);
        for (IPagingLine* line :
             {static_cast<IPagingLine*>(&tapLine), static_cast<IPagingLine*>(&wctpLine)}) {
            line->setProvider("5551234");
            line->setOnPageProgress([&](const QByteArray& text) { progress.append(text); });
        }
        tapLine.setPacing(pacing);
        wctpLine.setPacing(pacing);
        try {
            tapSent = tapLine.Connect() && tapLine.SendPage("1234567", "from a line's thread");
            tapLine.Disconnect();
            wctpSent = wctpLine.Connect() && wctpLine.SendPage("1234567", "over WCTP");
            wctpLine.Disconnect();
        } catch (const std::exception& e) {
            progress.append(QByteArray("raised: ") + e.what());
        }
    });
    ASSERT_TRUE(ended) << "the line's thread did not finish";
    EXPECT_TRUE(tapSent) << progress.join(" / ").constData();
    EXPECT_TRUE(wctpSent) << progress.join(" / ").constData();
    EXPECT_EQ(terminal.terminal().blocks().size(), 1);
    EXPECT_EQ(endpoint.requests().size(), 1);
    EXPECT_TRUE(complaints.list().isEmpty()) << complaints.list().join("\n").constData();
}

} // namespace
