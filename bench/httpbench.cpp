// Pages per second through the HTTP front end's POST /api/v1/pages, measured against the running
// server (a ServerRuntime over a temporary data folder: the front end, the queue and the page
// store on the disk) with clients on threads of their own, each on one keep-alive connection:
// one client, then 50 at once; then the time of one request while 50 idle connections are
// open. After each run every accepted id must be in Message.Dat exactly once (and in the page
// store as queued there); anything else is printed as a FAILURE and the exit code is 1. Run by
// hand: httpbench [pages]. Every loop is bounded in count; traffic stays on 127.0.0.0/8.

#include "bench/benchprompts.h"
#include "bench/httpclient.h"
#include "core/serverconfig.h"
#include "core/serverstate.h"
#include "http/httpfrontend.h"
#include "http/httpgate.h"
#include "runtime/httpbridge.h"
#include "runtime/serverruntime.h"
#include "tests/app/queuestoresnapshot.h"
#include "tests/support/freeport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

// The address of connection `index`: four to an address, well under the server's limit.
QByteArray clientAddress(int index)
{
    return "127.0.1." + QByteArray::number(10 + index / 4);
}

struct Run
{
    int pages = 0;
    int failures = 0;
    double seconds = 0;
    QList<double> latencies; // seconds of each request
    double rate() const { return seconds > 0 ? pages / seconds : 0; }
    double percentile(double p) const
    {
        if (latencies.isEmpty())
            return 0;
        QList<double> sorted = latencies;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min<qsizetype>(sorted.size() - 1,
                                          static_cast<qsizetype>(p * sorted.size()))];
    }
};

// The server in a data folder of its own, with the HTTP front end on and no token.
class Bench final
{
public:
    Bench() : m_runtime(m_dir.path(), m_prompts)
    {
        write("Provider.dat", "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\n"
                              "Length=80\r\nParity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        write("sUser.Dat", "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n");
        write("Allow.txt", "555\r\n");
        write("Http.Dat", "[HTTP]\r\nEnabled=1\r\nPort=" + freeLoopbackPort() + "\r\n");
        TServerConfig config = m_runtime.state().config();
        config.Port = "0";
        m_runtime.state().setConfig(config);
        m_runtime.start(ServerRuntime::WithoutListener::Run);
        m_port = m_runtime.http().frontEnd().port();
        if (!m_runtime.http().isListening())
            std::fprintf(stderr, "FAILURE: the HTTP front end does not listen\n");
    }

    // `clients` clients on threads of their own, each handing in `pagesEach` pages over one
    // keep-alive connection, each page's text its own.
    Run pages(int clients, int pagesEach, const char* tag)
    {
        std::atomic<int> done{0};
        std::atomic<int> sent{0};
        std::atomic<int> failed{0};
        QMutex lock;
        QList<double> latencies;
        QElapsedTimer clock;
        clock.start();
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                HttpClient client(m_port, clientAddress(c).constData());
                QList<double> own;
                for (int p = 0; p < pagesEach; ++p) {
                    const QByteArray text = QByteArray(tag) + " client " + QByteArray::number(c) +
                                            " page " + QByteArray::number(p);
                    QElapsedTimer one;
                    one.start();
                    const bool ok = submit(client, text);
                    own.append(one.nsecsElapsed() / 1e9);
                    (ok ? sent : failed)++;
                }
                QMutexLocker locked(&lock);
                latencies += own;
                ++done;
            });
        }
        pumpUntil([&] { return done == clients; });
        Run run{sent, failed, clock.nsecsElapsed() / 1e9, latencies};
        for (std::thread& t : threads)
            t.join();
        return run;
    }

    // Opens `count` connections that send nothing; they stay open while the object lives (the
    // server drops them after 30 s without a request).
    void openIdle(int count)
    {
        for (int i = 0; i < count; ++i)
            m_idle.push_back(
                std::make_unique<HttpClient>(m_port, clientAddress(200 + i).constData()));
        pump(200);
    }

    // Connections the front end holds now.
    int connections() const { return m_runtime.http().frontEnd().gate().connectionCount(); }

    // Every page accepted so far is in Message.Dat exactly once, queued in the page store with
    // its entry, and Message.Dat holds nothing else. The number of problems, each printed.
    int verify()
    {
        const QueueStoreSnapshot snapshot = QueueStoreSnapshot::read(m_dir.path());
        int problems = 0;
        const auto problem = [&](const QByteArray& what) {
            std::fprintf(stderr, "FAILURE: %s\n", what.constData());
            ++problems;
        };
        if (!snapshot.error().isEmpty())
            problem("the page store cannot be read: " + snapshot.error().toUtf8());
        QHash<QByteArray, int> entries;
        for (const QueueStoreSnapshot::Entry& entry : snapshot.entries())
            entries[entry.text]++;
        QHash<qint64, const QueueStoreSnapshot::Record*> records;
        for (const QueueStoreSnapshot::Record& record : snapshot.records())
            records.insert(record.id, &record);
        for (auto it = m_accepted.cbegin(); it != m_accepted.cend(); ++it) {
            const QByteArray id = QByteArray::number(it.key());
            if (entries.value(it.value()) != 1)
                problem("page " + id + " (\"" + it.value() + "\") is in Message.Dat " +
                        QByteArray::number(entries.value(it.value())) + " times");
            const QueueStoreSnapshot::Record* record = records.value(it.key());
            if (!record || !record->inQueue || record->state != "queued" ||
                record->text != it.value())
                problem("page " + id + " is not queued in the page store as accepted");
        }
        if (snapshot.entries().size() != m_accepted.size())
            problem("Message.Dat holds " + QByteArray::number(snapshot.entries().size()) +
                    " messages for " + QByteArray::number(m_accepted.size()) + " accepted pages");
        return problems;
    }

    qsizetype accepted() const
    {
        QMutexLocker locked(&m_acceptedLock);
        return m_accepted.size();
    }

private:
    // One page to alice; true when it was answered 202 with one id, which is kept.
    bool submit(HttpClient& client, const QByteArray& text)
    {
        QByteArray body;
        const QByteArray json =
            QJsonDocument(QJsonObject{{QStringLiteral("to"), QStringLiteral("alice")},
                                      {QStringLiteral("message"), QString::fromLatin1(text)}})
                .toJson(QJsonDocument::Compact);
        if (client.post("/api/v1/pages", json, &body) != 202)
            return false;
        const QJsonArray pages =
            QJsonDocument::fromJson(body).object().value(QStringLiteral("pages")).toArray();
        bool numeric = false;
        const qint64 id =
            pages.size() == 1
                ? pages[0].toObject().value(QStringLiteral("id")).toString().toLongLong(&numeric)
                : 0;
        if (!numeric)
            return false;
        QMutexLocker locked(&m_acceptedLock);
        if (m_accepted.contains(id))
            std::fprintf(stderr, "FAILURE: id %lld given twice\n", static_cast<long long>(id));
        m_accepted.insert(id, text);
        return true;
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
        tick.start(1);
        loop.exec();
    }
    void pump(int milliseconds)
    {
        QElapsedTimer clock;
        clock.start();
        pumpUntil([&] { return clock.elapsed() >= milliseconds; });
    }

    QTemporaryDir m_dir;
    BenchPrompts m_prompts;
    ServerRuntime m_runtime;
    quint16 m_port = 0;
    mutable QMutex m_acceptedLock;
    QHash<qint64, QByteArray> m_accepted;
    std::vector<std::unique_ptr<HttpClient>> m_idle;
};

void report(const char* what, const Run& run)
{
    std::printf("%-40s %5d pages in %6.3f s: %7.1f pages/s; per request median %6.2f ms, "
                "99%% %6.2f ms, longest %6.2f ms%s\n",
                what, run.pages, run.seconds, run.rate(), run.percentile(0.5) * 1e3,
                run.percentile(0.99) * 1e3, run.percentile(1.0) * 1e3,
                run.failures ? " (FAILURES)" : "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // in order with the FAILURE lines on stderr
    const int total = argc > 1 ? std::max(50, std::atoi(argv[1])) : 1000;
    int failures = 0;
    const auto finish = [&](Bench& bench, const Run& run, const char* what) {
        report(what, run);
        failures += run.failures;
        const int problems = bench.verify();
        std::printf("%-40s %lld pages accepted, %s\n", "", static_cast<long long>(bench.accepted()),
                    problems ? "Message.Dat DISAGREES (see FAILURE lines)"
                             : "each once in Message.Dat");
        failures += problems;
    };

    Run one;
    {
        Bench bench;
        bench.pages(1, 20, "warm-up");
        one = bench.pages(1, total, "one");
        finish(bench, one, "1 client");
    }
    Run fifty;
    {
        Bench bench;
        bench.pages(1, 20, "warm-up");
        fifty = bench.pages(50, total / 50, "fifty");
        finish(bench, fifty, "50 clients at once");
    }
    {
        Bench bench;
        bench.pages(1, 20, "warm-up");
        bench.openIdle(50);
        std::printf("(%d connections open, 50 of them idle)\n", bench.connections());
        const Run idle = bench.pages(1, std::min(total, 200), "idle");
        finish(bench, idle, "1 client, 50 idle connections open");
    }
    std::printf("50 clients / 1 client: %.2f\n", fifty.rate() / one.rate());
    if (failures)
        std::fprintf(stderr, "FAILURE: %d requests or checks failed\n", failures);
    return failures ? 1 : 0;
}
