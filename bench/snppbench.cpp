// Pages per second through the SNPP gateway, measured against a real server object (the
// gateway's listener, the shared lists and the queue in a temporary data folder) with paging
// clients on threads of their own: one client, 50 at once, and one client while 50 silent
// sessions are open; then the time of one PAGE that names a group of 5,000 members, right
// after the lists were written and once they have been left alone. Run by hand:
// snppbench [pages [group members]]. Every loop is bounded in count; traffic stays on
// 127.0.0.0/8.

#include "bench/benchprompts.h"
#include "core/serverstate.h"
#include "queue/messagequeue.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "tests/snpp/snppclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

// The address of client `index`: no more than four sessions per machine.
QByteArray clientAddress(int index)
{
    return "127.0.1." + QByteArray::number(10 + index / 4);
}

struct Run
{
    int pages = 0;
    int failures = 0;
    double seconds = 0;
    double rate() const { return seconds > 0 ? pages / seconds : 0; }
};

class Bench
{
public:
    Bench() : m_core(m_dir.path(), m_prompts)
    {
        m_dir.setAutoRemove(true);
        write("Provider.dat", "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\n"
                              "Length=80\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        write("sUser.Dat", "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        m_core.setAllowList({"555"});
        m_bridge = std::make_unique<SnppBridge>(m_core, m_prompts);
        if (const auto failure = m_bridge->gateway().server().listen(0))
            std::fprintf(stderr, "listen: %s\n", qPrintable(*failure));
        m_port = m_bridge->gateway().server().port();
    }

    // `clients` clients on threads of their own, each handing in `pagesEach` pages, one
    // transaction (PAGE, MESS, SEND) per page over one session.
    Run pages(int clients, int pagesEach)
    {
        m_core.queue().clear();
        std::atomic<int> done{0};
        std::atomic<int> sent{0};
        std::atomic<int> failed{0};
        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                SnppClient client(m_port, clientAddress(c).constData());
                client.line();
                for (int p = 0; p < pagesEach; ++p) {
                    const bool ok = client.command("PAGE alice") == "250 Pager ID Accepted" &&
                                    client.command("MESS disk full on web" +
                                                   QByteArray::number(c)) == "250 Message OK" &&
                                    client.command("SEND") == "250 Message Sent Successfully";
                    (ok ? sent : failed)++;
                }
                client.command("QUIT");
                ++done;
            });
        }
        pumpUntil([&] { return done == clients; });
        Run run{sent, failed, clock.nsecsElapsed() / 1e9};
        for (std::thread& t : threads)
            t.join();
        return run;
    }

    // Opens `count` sessions that say nothing; they stay open while the object lives.
    void openSilent(int count)
    {
        std::atomic<bool> ready{false};
        std::thread opener([&] {
            for (int i = 0; i < count; ++i) {
                m_silent.push_back(
                    std::make_unique<SnppClient>(m_port, clientAddress(100 + i).constData()));
                m_silent.back()->line();
            }
            ready = true;
        });
        pumpUntil([&] { return ready.load(); });
        opener.join();
    }

    int sessions() const { return m_bridge->gateway().server().sessionCount(); }

    // The user list with alice and `members` more users, all of Metro Paging, and the group
    // "all" that holds those members.
    void writeGroup(int members)
    {
        QByteArray users = "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n";
        QByteArray group = "[all]\r\n";
        for (int i = 0; i < members; ++i) {
            const QByteArray name = "user" + QByteArray::number(i);
            users += "[" + name + "]\r\nPIN=" + QByteArray::number(100000 + i) +
                     "\r\nPROVIDER=Metro Paging\r\n";
            group += "User" + QByteArray::number(i) + "=" + name + "\r\n";
        }
        write("sUser.Dat", users);
        write("sGroup.Dat", group);
    }

    // Seconds of each of `count` commands "PAGE all" in one session, one after the other; the
    // last reply in `reply`.
    QList<double> pageGroup(int count, QByteArray& reply)
    {
        QList<double> seconds;
        std::atomic<bool> done{false};
        std::thread client([&] {
            SnppClient snpp(m_port, clientAddress(200).constData());
            snpp.line();
            for (int i = 0; i < count; ++i) {
                QElapsedTimer clock;
                clock.start();
                reply = snpp.command("PAGE all");
                seconds.append(clock.nsecsElapsed() / 1e9);
            }
            snpp.command("QUIT");
            done = true;
        });
        pumpUntil([&] { return done.load(); });
        client.join();
        return seconds;
    }

private:
    void write(const char* name, const QByteArray& bytes)
    {
        QFile file(m_dir.path() + QLatin1Char('/') + QLatin1String(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    template <typename Done> void pumpUntil(Done done)
    {
        QEventLoop loop;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        tick.start(1);
        loop.exec();
    }

    QTemporaryDir m_dir;
    BenchPrompts m_prompts;
    ServerState m_core;
    std::unique_ptr<SnppBridge> m_bridge;
    quint16 m_port = 0;
    std::vector<std::unique_ptr<SnppClient>> m_silent;
};

void reportGroup(const char* what, const QList<double>& seconds, const QByteArray& reply)
{
    double sum = 0;
    for (const double s : seconds)
        sum += s;
    std::printf("%-44s %3lld PAGEs: mean %8.4f s, longest %8.4f s (reply \"%s\")\n", what,
                static_cast<long long>(seconds.size()),
                seconds.isEmpty() ? 0 : sum / seconds.size(),
                seconds.isEmpty() ? 0 : *std::max_element(seconds.cbegin(), seconds.cend()),
                reply.constData());
}

void report(const char* what, const Run& run)
{
    std::printf("%-44s %5d pages in %6.3f s: %7.1f pages/s%s\n", what, run.pages, run.seconds,
                run.rate(), run.failures ? " (FAILURES)" : "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::max(50, std::atoi(argv[1])) : 500;
    Bench bench;
    bench.pages(1, 20); // warm-up
    const Run one = bench.pages(1, total);
    report("1 client", one);
    const Run fifty = bench.pages(50, total / 50);
    report("50 clients at once", fifty);
    bench.openSilent(50);
    std::printf("(%d sessions open, 50 of them silent)\n", bench.sessions());
    const Run oneWithSilent = bench.pages(1, total);
    report("1 client, 50 silent sessions open", oneWithSilent);
    const Run fiftyWithSilent = bench.pages(50, total / 50);
    report("50 clients at once, 50 silent sessions open", fiftyWithSilent);
    std::printf("50 clients / 1 client: %.2f; with silent sessions / without: %.2f\n",
                fifty.rate() / one.rate(), oneWithSilent.rate() / one.rate());

    // PAGE of a large group: the lists just written (as after an edit), then left alone long
    // enough that nothing about them can still be changing.
    const int members = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    bench.writeGroup(members);
    QByteArray reply;
    const QByteArray what = "PAGE of a " + QByteArray::number(members) + "-member group";
    reportGroup((what + ", lists just written").constData(), bench.pageGroup(3, reply), reply);
    QThread::msleep(2500);
    reportGroup((what + ", lists unchanged").constData(), bench.pageGroup(10, reply), reply);
    return one.failures + fifty.failures + oneWithSilent.failures + fiftyWithSilent.failures ? 1
                                                                                             : 0;
}
