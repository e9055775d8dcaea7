// What a call processing run costs per message apart from waiting on the line: one company
// with 10, 100 and 1,000 queued messages is delivered to the scripted modem and terminal (on a
// thread of their own, so their work is not counted) with every pause scaled down.
// Run by hand: callbench [--quick] [sizes...].
//
// Per size it prints the run's wall time, the time the server's thread spent blocked in the
// event loop (waiting on the line, whose engine and fixed pauses are on the line's own thread),
// the rest ("active": queue file work, parsing, logging, the disk) and the thread's CPU time, each
// per message, and the same per message beyond a one-message run, which leaves out the call's fixed
// costs.

#include "bench/benchprompts.h"
#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/pacing.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "tests/support/scriptedmodem.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// 1 % of every duration: a block's pause is 10 ms, a reply may take 100 ms before the terminal
// counts as silent, which the modem thread never comes near.
const Pacing BenchPacing(0.01);

// The modem and terminal, living on a thread of their own.
class ModemThread final
{
public:
    ModemThread()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        onThread([this] { m_modem = std::make_unique<ScriptedModem>(); });
    }
    ~ModemThread()
    {
        onThread([this] { m_modem.reset(); });
        m_thread.quit();
        m_thread.wait();
    }
    template <typename F> void onThread(F f)
    {
        QMetaObject::invokeMethod(&m_context, f, Qt::BlockingQueuedConnection);
    }
    ScriptedModem& modem() { return *m_modem; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<ScriptedModem> m_modem;
};

struct Figures
{
    int messages = 0;
    int delivered = 0;
    bool emptied = false;
    double wallMs = 0;
    double blockedMs = 0;
    double pausedMs = 0;
    double cpuMs = 0;
    double activeMs() const { return wallMs - blockedMs - pausedMs; }
};

Figures runOnce(int messages)
{
    QTemporaryDir dir;
    BenchPrompts prompts;
    ServerState core(dir.path(), prompts);
    TServerConfig config = core.config();
    config.ComPort = 0;
    config.ComPortSpeed = 6;
    config.FlowControl = 0;
    config.Logging = true;
    config.Port = "1";
    core.setConfig(config);
    core.setAllowList({"555"});

    ModemThread modemThread;
    modemThread.onThread([&] { modemThread.modem().linkAs(dir.path(), 1); });

    QByteArray file = "[5551234]\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\n"
                      "StopBits=0\r\n";
    for (int n = 1; n <= messages; ++n)
        file += "MSG" + QByteArray::number(n) + "=*MSG*Call the front desk, room " +
                QByteArray::number(n) + "*SIG*Reception*PIN*1234567*USR*127.0.0.1*ID*Pat\r\n";
    QFile out(core.queue().path());
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return {};
    out.close();
    // Counted as a queue kept from an earlier run is.
    core.queue().takeOver();

    CallControl calls(core, prompts);
    calls.engine().setPacing(BenchPacing);
    QElapsedTimer blockedClock;
    double blockedMs = 0;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    const auto toBlock = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock,
                                          [&] { blockedClock.start(); });
    const auto awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&] {
        if (blockedClock.isValid()) {
            blockedMs += static_cast<double>(blockedClock.nsecsElapsed()) / 1e6;
            blockedClock.invalidate();
        }
    });

    Figures f;
    f.messages = messages;
    const double cpuBefore = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    calls.sendNow();
    f.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    f.cpuMs = threadCpuMs() - cpuBefore;
    QObject::disconnect(toBlock);
    QObject::disconnect(awake);
    f.blockedMs = blockedMs;
    modemThread.onThread([&] { f.delivered = int(modemThread.modem().blocks().size()); });
    QFile left(core.queue().path());
    f.emptied = core.queuedCount() == 0 &&
                (!left.open(QIODevice::ReadOnly) || !left.readAll().contains("MSG"));
    if (prompts.boxes > 0)
        f.delivered = -f.delivered;
    return f;
}

// The median run of `rounds`, by active time.
Figures median(int messages, int rounds)
{
    std::vector<Figures> runs;
    for (int i = 0; i < rounds; ++i)
        runs.push_back(runOnce(messages));
    std::sort(runs.begin(), runs.end(),
              [](const Figures& a, const Figures& b) { return a.activeMs() < b.activeMs(); });
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool quick = false;
    std::vector<int> sizes;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg == QStringLiteral("--quick"))
            quick = true;
        else if (arg.toInt() > 0)
            sizes.push_back(arg.toInt());
    }
    if (sizes.empty())
        sizes = {10, 100, 1000};

    const int rounds = quick ? 1 : 3;
    const Figures one = median(1, rounds);
    std::printf("%6s %9s %8s %8s | %s\n", "queued", "delivered", "wall", "blocked",
                "per message: active  cpu | beyond one message: active  cpu (ms)");
    for (const int size : sizes) {
        const Figures f = median(size, rounds);
        const double n = f.messages;
        const double extra = std::max(1.0, n - 1);
        std::printf("%6d %9d %8.0f %8.0f |              %7.3f %6.3f |                     %7.3f "
                    "%6.3f%s\n",
                    f.messages, f.delivered, f.wallMs, f.blockedMs, f.activeMs() / n, f.cpuMs / n,
                    (f.activeMs() - one.activeMs()) / extra, (f.cpuMs - one.cpuMs) / extra,
                    f.emptied && f.delivered == f.messages ? "" : "  (NOT ALL DELIVERED)");
    }
    return 0;
}
