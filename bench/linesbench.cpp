// What several delivery lines give: 8 companies with 5 pages each are delivered to scripted
// modems and terminals on 1, 2 and 4 modem lines, then the same 8 companies over TAP on TCP
// routes (up to 4 lines at once to one host), with every pause as the server keeps it (a
// second before each block, six after each modem's hang-up). Run by hand:
//   linesbench [--scale F] [--rounds N]
// --scale shrinks every duration (0.1: a tenth) for a quick look; the figures that count are
// those at 1. Per setup it prints the wall time of the run, its ratio to one modem line, and
// whether every page was delivered exactly once.

#include "bench/benchprompts.h"
#include "calls/callcontrol.h"
#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/pacing.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "runtime/routedlines.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedtapserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Companies = 8;
constexpr int PagesPerCompany = 5;

struct Result
{
    double wallMs = 0;
    bool eachOnce = false;
};

QByteArray number(int company)
{
    return "555000" + QByteArray::number(company);
}

// Runs the queue through `modems` modem lines, or through TCP routes when `modems` is 0.
Result runOnce(int modems, const Pacing& pacing)
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

    std::vector<std::unique_ptr<ScriptedModem>> lines;
    std::vector<std::unique_ptr<ScriptedTapServer>> carriers;
    QByteArray linesDat;
    if (modems > 0) {
        QByteArray ports;
        for (int n = 1; n <= modems; ++n) {
            lines.push_back(std::make_unique<ScriptedModem>());
            lines.back()->linkAs(dir.path(), n);
            ports += (n > 1 ? "," : "") + QByteArray::number(n);
        }
        linesDat = "[Modems]\r\nPorts=" + ports + "\r\n";
    } else {
        linesDat = "[Routes]\r\n";
        for (int company = 1; company <= Companies; ++company) {
            carriers.push_back(std::make_unique<ScriptedTapServer>());
            linesDat += number(company) +
                        "=tap://127.0.0.1:" + QByteArray::number(carriers.back()->port()) + "\r\n";
        }
    }
    QFile file(dir.filePath(QStringLiteral("Lines.Dat")));
    if (!file.open(QIODevice::WriteOnly) || file.write(linesDat) != linesDat.size())
        return {};
    file.close();
    RoutedLines routes;
    routes.setPacing(pacing);
    routes.load(file.fileName());

    QList<QueueSubmission> pages;
    for (int company = 1; company <= Companies; ++company) {
        for (int page = 1; page <= PagesPerCompany; ++page) {
            QueueEntry entry;
            entry.message = "Disk full on host " + QByteArray::number(page);
            entry.pin = QByteArray::number(1000000 + company * 100 + page);
            entry.sender = "127.0.0.1";
            entry.addressee = "Pat";
            pages.append({number(company), {}, entry});
        }
    }
    if (!core.queue().add(pages))
        return {};

    CallControl calls(core, prompts);
    calls.engine().setPacing(pacing);
    calls.processor().setLineChooser(&routes);

    Result result;
    QElapsedTimer wall;
    wall.start();
    calls.sendNow();
    result.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;

    QList<QByteArray> delivered;
    for (const auto& modem : lines)
        delivered += modem->pins();
    for (const auto& carrier : carriers) {
        for (const ScriptedTerminal::Block& block : carrier->terminal().blocks())
            delivered.append(block.pin);
    }
    std::sort(delivered.begin(), delivered.end());
    QList<QByteArray> expected;
    for (const QueueSubmission& page : pages)
        expected.append(page.entry.pin);
    std::sort(expected.begin(), expected.end());
    result.eachOnce = delivered == expected && core.queuedCount() == 0 && prompts.boxes == 0;
    return result;
}

Result median(int modems, const Pacing& pacing, int rounds)
{
    std::vector<Result> runs;
    for (int i = 0; i < rounds; ++i)
        runs.push_back(runOnce(modems, pacing));
    std::sort(runs.begin(), runs.end(),
              [](const Result& a, const Result& b) { return a.wallMs < b.wallMs; });
    Result middle = runs[runs.size() / 2];
    middle.eachOnce =
        std::all_of(runs.begin(), runs.end(), [](const Result& r) { return r.eachOnce; });
    return middle;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    double scale = 1.0;
    int rounds = 1;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--scale"))
            scale = args[i + 1].toDouble();
        else if (args[i] == QStringLiteral("--rounds"))
            rounds = std::max(1, args[i + 1].toInt());
    }
    const Pacing pacing(scale);
    std::printf("%d companies x %d pages, durations x %.3g, median of %d\n", Companies,
                PagesPerCompany, scale, rounds);
    std::printf("%-16s %10s %8s %s\n", "lines", "wall s", "ratio", "every page once");
    double one = 0;
    for (const int modems : {1, 2, 4, 0}) {
        const Result r = median(modems, pacing, rounds);
        if (modems == 1)
            one = r.wallMs;
        const QByteArray name =
            modems > 0 ? QByteArray::number(modems) + " modem(s)" : QByteArray("TCP routes");
        std::printf("%-16s %10.2f %8.2f %s\n", name.constData(), r.wallMs / 1000.0,
                    one > 0 ? r.wallMs / one : 0.0, r.eachOnce ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}
