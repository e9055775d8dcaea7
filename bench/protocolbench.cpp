// Throughput and resource use of the page submission protocol, measured against a real server
// object (its own listener, a temporary data folder) with workstations on threads of their own.
// Run by hand: protocolbench [--quick]. Every loop is bounded in count; traffic stays on
// 127.0.0.1.

#include "bench/benchprompts.h"
#include "core/serverstate.h"
#include "foundation/pacing.h"
#include "net/tsock.h"
#include "queue/messagequeue.h"
#include "runtime/serverruntime.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray Begin = "354 Begin Sending Message";
const QByteArray Accepted = "250 Message Accepted For Processing";

QByteArray block(const QByteArray& accessNumber)
{
    return QByteArray("MSG: Call the front desk\r\nSIG: Reception\r\nPIN: 1234567\r\nID: Pat\r\n"
                      "AN: " +
                      accessNumber + "\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0")
        .toBase64();
}

// The loopback address of workstation `t`: 127.0.0.2 and on.
QByteArray workstation(int t)
{
    return "127.0.0." + QByteArray::number(2 + t % 250);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                                .size());
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

class Bench final
{
public:
    Bench() : m_runtime(m_dir.path(), m_prompts), m_core(m_runtime.state())
    {
        m_runtime.setPacing(m_pacing);
        m_core.setAllowList({"555"});
        TServerConfig config = m_core.config();
        config.Port = "0";
        m_core.setConfig(config);
        m_runtime.listen();
        m_port = m_runtime.listener().Sock1().LocalPort();
    }

    // HELO, DATA, one block, DONE, from the loopback address `from`. True when every reply was
    // the expected one.
    bool normal(WorkstationClient& c, const QByteArray& from = {})
    {
        const QByteArray accessNumber = "5551234567";
        if (!c.connectTo(m_port, from))
            return false;
        const QByteArray done = "250 Recieved 1 Msg(s), Delivery in 0 Min.";
        return c.exchange("HELO 127.0.0.1", "250 " + m_host).startsWith("250 ") &&
               c.exchange("DATA", Begin) == Begin &&
               c.exchange(block(accessNumber), Accepted) == Accepted &&
               c.exchange("DONE", done) == done && c.closedByServer();
    }

    // Conversations per second for `clients` workstations each running `each` in a loop. Each
    // workstation has an address of its own: the server serves only a few conversations of one
    // address at a time.
    double rate(int clients, int each, int* failures, double* slowestSeconds)
    {
        std::atomic<int> failed{0};
        std::atomic<qint64> slowest{0};
        QElapsedTimer clock;
        clock.start();
        runWhilePumping([&] {
            std::vector<std::thread> threads;
            for (int t = 0; t < clients; ++t) {
                threads.emplace_back([&, t] {
                    for (int i = 0; i < each; ++i) {
                        QElapsedTimer one;
                        one.start();
                        WorkstationClient c;
                        if (!normal(c, workstation(t)))
                            ++failed;
                        qint64 seen = slowest;
                        while (one.elapsed() > seen &&
                               !slowest.compare_exchange_weak(seen, one.elapsed())) {
                        }
                    }
                });
            }
            for (std::thread& thread : threads)
                thread.join();
        });
        *failures = failed;
        *slowestSeconds = static_cast<double>(slowest) / 1000.0;
        return clients * each * 1000.0 / std::max<qint64>(1, clock.elapsed());
    }

    // Milliseconds from sending a block to its acceptance, into a section already holding
    // `queued` messages.
    double submissionMs(int queued, int submissions)
    {
        const QByteArray section = "555" + QByteArray::number(queued);
        QByteArray file = "[" + section +
                          "]\r\nPassword=\r\nLength=80\r\nParity=2\r\n"
                          "DataBits=2\r\nStopBits=0\r\n";
        for (int n = 1; n <= queued; ++n)
            file += "MSG" + QByteArray::number(n) +
                    "=*MSG*Call the front desk*SIG*Reception*PIN*1234567*USR*127.0.0.1*ID*Pat\r\n";
        QFile out(m_core.queue().path());
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(file);
        out.close();
        std::vector<double> times;
        runWhilePumping([&] {
            WorkstationClient c;
            if (!c.connectTo(m_port))
                return;
            for (int i = 0; i < submissions; ++i) {
                if (c.exchange("DATA", Begin) != Begin)
                    return;
                QElapsedTimer clock;
                clock.start();
                if (c.exchange(block(section), Accepted) != Accepted)
                    return;
                times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            }
            c.exchange("DONE", "250 Recieved");
        });
        if (times.empty())
            return -1;
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }

    // Round-trip milliseconds (median, 90th percentile) of `samples` exchanges on one
    // connection: a "HELO" command, or a data block of about `blockBytes` Base64 characters sent
    // in one write, from sending it to its whole reply. The block's time includes writing the
    // queue file.
    std::pair<double, double> roundTripMs(bool block, int blockBytes, int samples)
    {
        const QByteArray filler(std::max(0, blockBytes * 3 / 4 - 160), 'x');
        const QByteArray data =
            QByteArray("MSG: Call the front desk " + filler +
                       "\r\nPIN: 1234567\r\nID: Pat\r\nAN: 5551234567\r\nLENGTH: 80\r\n"
                       "PARITY: 2\r\nDATA: 2\r\nSTOP: 0")
                .toBase64();
        std::vector<double> times;
        runWhilePumping([&] {
            WorkstationClient c;
            if (!c.connectTo(m_port))
                return;
            for (int i = 0; i < samples; ++i) {
                if (block && c.exchange("DATA", Begin) != Begin)
                    return;
                // Past the server's pause after "354", so the block meets a waiting server.
                if (block)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                const QByteArray expected = block ? Accepted : "250 " + m_host;
                QElapsedTimer clock;
                clock.start();
                if (c.exchange(block ? data : QByteArray("HELO 127.0.0.1"), expected) != expected)
                    return;
                times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            }
            c.exchange("DONE", "250 Recieved");
        });
        m_core.queue().clear();
        if (times.empty())
            return {-1, -1};
        std::sort(times.begin(), times.end());
        return {times[times.size() / 2], times[times.size() * 9 / 10]};
    }

    // Share of one core the listening server uses over `ms` with nobody connecting.
    double idleCpu(int ms)
    {
        const double before = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        return (cpuSeconds() - before) * 1000.0 / std::max<qint64>(1, clock.elapsed());
    }

    // `count` conversations of one kind, spread over `clients` workstations.
    int run(int clients, int count,
            const std::function<bool(WorkstationClient&, const QByteArray& from)>& kind)
    {
        std::atomic<int> failed{0};
        runWhilePumping([&] {
            std::vector<std::thread> threads;
            for (int t = 0; t < clients; ++t) {
                threads.emplace_back([&, t] {
                    for (int i = t; i < count; i += clients) {
                        WorkstationClient c;
                        if (!kind(c, workstation(t)))
                            ++failed;
                    }
                });
            }
            for (std::thread& thread : threads)
                thread.join();
        });
        return failed;
    }

    quint16 port() const { return m_port; }
    ServerState& core() { return m_core; }
    int boxes() const { return m_prompts.boxes; }
    int connectionObjects() { return m_runtime.listener().Sock1().findChildren<TSock*>().size(); }

    // The durations of the server's conversations.
    Pacing& pacing() { return m_pacing; }

private:
    Pacing m_pacing;
    QTemporaryDir m_dir;
    BenchPrompts m_prompts;
    ServerRuntime m_runtime;
    ServerState& m_core;
    quint16 m_port = 0;
    QByteArray m_host = TSock::LocalAddress();
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    Bench bench;
    int failures = 0;

    std::printf("Conversations per second (HELO, DATA, one block, DONE):\n");
    // At 5 % the fixed pauses (50 ms after "354") nearly vanish while the idle limit (3 s)
    // stays far above any reply time, so nested conversations never time out.
    for (const double scale : {1.0, 0.05}) {
        bench.pacing().setScale(scale);
        double slowest = 0;
        const double one = bench.rate(1, quick ? 20 : 200, &failures, &slowest);
        std::printf("  pauses at %-6g 1 client:   %8.1f /s  (%d failed, slowest %.1f s)\n", scale,
                    one, failures, slowest);
        const double fifty = bench.rate(50, quick ? 2 : 10, &failures, &slowest);
        std::printf("  pauses at %-6g 50 clients: %8.1f /s  (%d failed, slowest %.1f s)\n", scale,
                    fifty, failures, slowest);
    }

    // The protocol's own pauses stay as in production; none lies between a text and its reply.
    bench.pacing().setScale(1.0);
    std::printf("Round trip of one text sent in one write (median / 90th percentile):\n");
    const int samples = quick ? 40 : 200;
    const auto helo = bench.roundTripMs(false, 0, samples);
    std::printf("  \"HELO\" command:               %7.2f / %7.2f ms\n", helo.first, helo.second);
    for (const int bytes : {300, 1400}) {
        const auto one = bench.roundTripMs(true, bytes, samples);
        std::printf("  data block of ~%4d characters: %7.2f / %7.2f ms\n", bytes, one.first,
                    one.second);
    }

    bench.pacing().setScale(0.001);
    std::printf("Median time from block to acceptance:\n");
    for (const int queued : {100, 5000})
        std::printf("  section holding %5d messages: %7.2f ms\n", queued,
                    bench.submissionMs(queued, quick ? 10 : 50));
    bench.core().queue().clear();

    bench.pacing().setScale(1.0);
    std::printf("Idle server CPU over 5 s: %.2f %% of one core\n",
                100.0 * bench.idleCpu(quick ? 1000 : 5000));

    bench.pacing().setScale(0.001); // idle limit 60 ms
    const int count = quick ? 200 : 2000;
    const int fdBefore = openDescriptors();
    const long rssBefore = residentKiB();
    int failed = bench.run(1, count, [&](WorkstationClient& c, const QByteArray& from) {
        return bench.normal(c, from);
    });
    std::printf("%d normal conversations: %d failed\n", count, failed);
    failed = bench.run(1, count, [&](WorkstationClient& c, const QByteArray& from) {
        // Idles, then leaves before the server's idle limit.
        const bool ok = c.connectTo(bench.port(), from) && c.exchange("HELO", "250 ").size() > 4;
        c.close();
        return ok;
    });
    std::printf("%d idle conversations ended by the client: %d failed\n", count, failed);
    failed = bench.run(50, count, [&](WorkstationClient& c, const QByteArray& from) {
        // Resets the connection in the middle of a data block.
        const bool ok = c.connectTo(bench.port(), from) && c.exchange("DATA", Begin) == Begin;
        c.send(block("5551234567").left(20));
        c.abort();
        return ok;
    });
    // Each of these conversations ends as soon as its connection reports the reset.
    std::printf("%d abrupt disconnects (reset after part of a block): %d failed\n", count, failed);
    // Connection objects are released from the event loop once their conversation has ended.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    std::printf("Open descriptors: %d before, %d after; resident memory: %ld KiB before, "
                "%ld KiB after; connection objects left: %d; operator boxes: %d\n",
                fdBefore, openDescriptors(), rssBefore, residentKiB(), bench.connectionObjects(),
                bench.boxes());
    return 0;
}
