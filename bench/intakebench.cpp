// Pages per second taken through each front end (workstation protocol, SNPP, HTTP) of a running
// server (a ServerRuntime over a temporary data folder: listeners, queue and page store on the
// disk), with 1 and 20 clients on threads of their own, and with 0, 2,000 and 10,000 pages
// already queued. Also the server thread's CPU per page, the time until Message.Dat holds every
// acknowledged page, and the resident memory with the longest queue and 50 open sessions. Each
// run starts a server of its own on a data folder holding exactly the pages queued before. After
// each run every acknowledged page must be in Message.Dat exactly once; anything else is
// printed as a FAILURE and the exit code is 1. Run by hand: intakebench [pages-per-run
// [front-end]], where front-end is workstation, snpp or http (all three without it; one alone
// keeps a profile of the server's thread to that front end's path).

#include "bench/benchprompts.h"
#include "bench/httpclient.h"
#include "core/serverconfig.h"
#include "core/serverstate.h"
#include "foundation/pacing.h"
#include "http/httpfrontend.h"
#include "net/tsock.h"
#include "queue/messagequeuefile.h"
#include "runtime/httpbridge.h"
#include "runtime/serverruntime.h"
#include "runtime/snppbridge.h"
#include "snpp/snppgateway.h"
#include "snpp/snppserver.h"
#include "tests/app/queuestoresnapshot.h"
#include "tests/snpp/snppclient.h"
#include "tests/support/freeport.h"
#include "tests/support/workstationclient.h"
#include "workstation/serverlistener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray Section = "5551234";

QByteArray clientAddress(int index)
{
    return "127.0.2." + QByteArray::number(10 + index / 4);
}

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

enum class Front { Workstation, Snpp, Http };

const char* frontName(Front front)
{
    switch (front) {
    case Front::Workstation:
        return "workstation";
    case Front::Snpp:
        return "SNPP";
    case Front::Http:
        return "HTTP";
    }
    return "?";
}

struct Run
{
    int pages = 0;
    int failures = 0;
    double seconds = 0;
    double cpu = 0;     // server thread, seconds
    double catchUp = 0; // seconds from the last acknowledgement until Message.Dat held all
    double rate() const { return seconds > 0 ? pages / seconds : 0; }
};

class Bench final
{
public:
    explicit Bench(int queued) : m_pacing(0.001), m_runtime(m_dir.path(), m_prompts)
    {
        write("Provider.dat", "[Metro Paging]\r\nAccess Number=" + Section +
                                  "\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\n"
                                  "StopBits=0\r\n");
        write("sUser.Dat", "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        write("Allow.txt", "555\r\n");
        write("Http.Dat", "[HTTP]\r\nEnabled=1\r\nPort=" + freeLoopbackPort() + "\r\n");
        write("Snpp.Dat", "[SNPP]\r\nEnabled=1\r\nPort=" + freeLoopbackPort() + "\r\n");
        // A section holds at most 9,999 messages: a long queue is spread over companies of
        // 2,000 each, the first of them the one every page of the runs goes to.
        QByteArray file;
        for (int n = 0; n < queued; ++n) {
            if (n % 2000 == 0)
                file += "[" + (n == 0 ? Section : "555" + QByteArray::number(9000 + n / 2000)) +
                        "]\r\nPassword=\r\nLength=80\r\nParity=2\r\nDataBits=2\r\n"
                        "StopBits=0\r\n";
            file += "MSG" + QByteArray::number(n % 2000 + 1) + "=*MSG*queued before " +
                    QByteArray::number(n) + "*PIN*1001*USR*127.0.0.1*ID*alice\r\n";
        }
        if (queued > 0)
            write("Message.Dat", file);
        m_queued = queued;
        m_runtime.setPacing(m_pacing);
        TServerConfig config = m_runtime.state().config();
        config.Port = "0";
        m_runtime.state().setConfig(config);
        m_runtime.start(ServerRuntime::WithoutListener::Run);
        m_wsPort = m_runtime.listener().Sock1().LocalPort();
        m_snppPort = m_runtime.snpp().gateway().server().port();
        m_httpPort = m_runtime.http().frontEnd().port();
    }

    Run pages(Front front, int clients, int pagesEach, const QByteArray& tag)
    {
        std::atomic<int> done{0};
        std::atomic<int> sent{0};
        std::atomic<int> failed{0};
        const double cpuBefore = threadCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                const QByteArray from = clientAddress(c);
                std::unique_ptr<SnppClient> snpp;
                std::unique_ptr<HttpClient> http;
                if (front == Front::Snpp) {
                    snpp = std::make_unique<SnppClient>(m_snppPort, from.constData());
                    snpp->line();
                } else if (front == Front::Http) {
                    http = std::make_unique<HttpClient>(m_httpPort, from.constData());
                }
                for (int p = 0; p < pagesEach; ++p) {
                    const QByteArray text =
                        tag + " c" + QByteArray::number(c) + " p" + QByteArray::number(p);
                    bool ok = false;
                    if (front == Front::Snpp)
                        ok = snppPage(*snpp, text);
                    else if (front == Front::Http)
                        ok = httpPage(*http, text);
                    else
                        ok = workstationPage(from, text);
                    if (ok) {
                        QMutexLocker locked(&m_lock);
                        m_acknowledged.append(text);
                    }
                    (ok ? sent : failed)++;
                }
                if (snpp)
                    snpp->command("QUIT");
                ++done;
            });
        }
        pumpUntil([&] { return done == clients; });
        Run run;
        run.pages = sent;
        run.failures = failed;
        run.seconds = clock.nsecsElapsed() / 1e9;
        run.cpu = threadCpuSeconds() - cpuBefore;
        for (std::thread& t : threads)
            t.join();
        QElapsedTimer catchUp;
        catchUp.start();
        const qint32 expected = m_queued + static_cast<qint32>(m_acknowledged.size());
        const QString path = MessageQueueFile::pathIn(m_dir.path());
        pumpUntil([&] {
            return MessageQueueFile(path).countMessages() >= expected || catchUp.elapsed() > 5000;
        });
        run.catchUp = catchUp.nsecsElapsed() / 1e9;
        return run;
    }

    // Every acknowledged page in Message.Dat exactly once, and nothing else there. The number
    // of problems, each printed.
    int verify()
    {
        const QueueStoreSnapshot snapshot = QueueStoreSnapshot::read(m_dir.path());
        QHash<QByteArray, int> entries;
        for (const QueueStoreSnapshot::Entry& entry : snapshot.entries())
            entries[entry.text]++;
        int problems = 0;
        for (const QByteArray& text : m_acknowledged) {
            if (entries.value(text) != 1) {
                std::fprintf(stderr, "FAILURE: \"%s\" is in Message.Dat %d times\n",
                             text.constData(), entries.value(text));
                ++problems;
            }
        }
        if (snapshot.entries().size() != m_queued + m_acknowledged.size()) {
            std::fprintf(stderr, "FAILURE: Message.Dat holds %lld messages, expected %lld\n",
                         static_cast<long long>(snapshot.entries().size()),
                         static_cast<long long>(m_queued + m_acknowledged.size()));
            ++problems;
        }
        return problems;
    }

    // Opens `count` SNPP sessions that say nothing; they stay open while the object lives.
    void openSilent(int count)
    {
        std::atomic<bool> ready{false};
        std::thread opener([&] {
            for (int i = 0; i < count; ++i) {
                m_silent.push_back(
                    std::make_unique<SnppClient>(m_snppPort, clientAddress(200 + i).constData()));
                m_silent.back()->line();
            }
            ready = true;
        });
        pumpUntil([&] { return ready.load(); });
        opener.join();
    }

private:
    static bool snppPage(SnppClient& client, const QByteArray& text)
    {
        return client.command("PAGE alice").startsWith("250 ") &&
               client.command("MESS " + text).startsWith("250 ") &&
               client.command("SEND").startsWith("250 ");
    }

    static bool httpPage(HttpClient& client, const QByteArray& text)
    {
        const QByteArray json =
            QJsonDocument(QJsonObject{{QStringLiteral("to"), QStringLiteral("alice")},
                                      {QStringLiteral("message"), QString::fromLatin1(text)}})
                .toJson(QJsonDocument::Compact);
        QByteArray body;
        return client.post("/api/v1/pages", json, &body) == 202;
    }

    bool workstationPage(const QByteArray& from, const QByteArray& text)
    {
        static const QByteArray Begin = "354 Begin Sending Message";
        static const QByteArray Accepted = "250 Message Accepted For Processing";
        const QByteArray block =
            QByteArray("MSG: " + text +
                       "\r\nPIN: 1001\r\nID: alice\r\n"
                       "AN: " +
                       Section + "\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0")
                .toBase64();
        WorkstationClient c;
        return c.connectTo(m_wsPort, from) &&
               c.exchange("HELO 127.0.0.1", "250 " + TSock::LocalAddress()).startsWith("250 ") &&
               c.exchange("DATA", Begin) == Begin && c.exchange(block, Accepted) == Accepted &&
               c.send("DONE") && c.readUntilClosed().startsWith("250 Recieved 1 Msg");
    }

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
        tick.start(2);
        loop.exec();
    }

    Pacing m_pacing;
    QTemporaryDir m_dir;
    BenchPrompts m_prompts;
    ServerRuntime m_runtime;
    int m_queued = 0;
    quint16 m_wsPort = 0;
    quint16 m_snppPort = 0;
    quint16 m_httpPort = 0;
    QMutex m_lock;
    QList<QByteArray> m_acknowledged;
    std::vector<std::unique_ptr<SnppClient>> m_silent;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int total = argc > 1 ? std::max(40, std::atoi(argv[1])) : 400;
    const QByteArray only = argc > 2 ? QByteArray(argv[2]).toLower() : QByteArray();
    if (!only.isEmpty() && only != "workstation" && only != "snpp" && only != "http") {
        std::fprintf(stderr, "usage: intakebench [pages-per-run [workstation|snpp|http]]\n");
        return 2;
    }
    int failures = 0;
    std::printf("%-12s %7s %7s %6s %9s %10s %11s\n", "front end", "queued", "clients", "pages",
                "pages/s", "CPU/page", "file lag");
    // Each run on a data folder of its own that holds exactly `queued` pages when it starts.
    for (const int queued : {0, 2000, 10000}) {
        for (const Front front : {Front::Workstation, Front::Snpp, Front::Http}) {
            if (!only.isEmpty() && QByteArray(frontName(front)).toLower() != only)
                continue;
            for (const int clients : {1, 20}) {
                Bench bench(queued);
                const Run run = bench.pages(front, clients, std::max(1, total / clients), "r");
                const int problems = bench.verify();
                std::printf("%-12s %7d %7d %6d %9.1f %8.3f ms %8.0f ms%s%s\n", frontName(front),
                            queued, clients, run.pages, run.rate(),
                            run.pages ? run.cpu * 1e3 / run.pages : 0.0, run.catchUp * 1e3,
                            run.failures ? " (FAILURES)" : "",
                            problems ? " (NOT ONCE IN Message.Dat)" : "");
                failures += run.failures + problems;
            }
        }
    }
    {
        Bench bench(10000);
        bench.pages(Front::Snpp, 20, std::max(1, total / 20), "m");
        bench.openSilent(50);
        std::printf("resident memory, 10000 queued, 50 sessions open: %ld KiB\n", residentKiB());
    }
    if (failures)
        std::fprintf(stderr, "FAILURE: %d requests or checks failed\n", failures);
    return failures ? 1 : 0;
}
