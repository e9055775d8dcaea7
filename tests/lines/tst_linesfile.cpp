#include "lines/linesfile.h"

#include "tests/support/tempdatadir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using Problems = QList<std::pair<int, QByteArray>>;

// Each problem as its line number and the start of its text.
Problems problemsOf(const LinesFile& file)
{
    Problems problems;
    for (const LinesFile::Problem& problem : file.problems())
        problems.append({problem.line, problem.text});
    return problems;
}

TEST(LinesFile, MissingFileIsTheOneModemOfTheSettings)
{
    TempDataDir dir;
    const LinesFile file = LinesFile::read(dir.file(LinesFile::FileName), 2);
    EXPECT_FALSE(file.present());
    EXPECT_EQ(file.ports(), QList<int>{2});
    EXPECT_TRUE(file.routes().isEmpty());
    EXPECT_TRUE(file.problems().isEmpty());
}

TEST(LinesFile, ReadsPortsAndRoutes)
{
    TempDataDir dir;
    dir.write(QStringLiteral("Lines.Dat"), "; delivery lines\r\n"
                                           "[modems]\r\n"
                                           "Ports = 1, 2\r\n"
                                           "\r\n"
                                           "[Routes]\r\n"
                                           "5551234=tap+tls://tap.carrier.example:18101\r\n"
                                           "5557000=tap://10.0.0.20:5000\r\n"
                                           "# a web service\r\n"
                                           "5559999=wctp+https://wctp.carrier.example/wctp\r\n");
    const LinesFile file = LinesFile::read(dir.file(LinesFile::FileName), 2);
    EXPECT_TRUE(file.present());
    EXPECT_TRUE(file.problems().isEmpty()) << LinesFile::describe(file.problems().first()).data();
    EXPECT_EQ(file.ports(), (QList<int>{1, 2}));
    ASSERT_EQ(file.routes().size(), 3);
    EXPECT_EQ(file.routes().at(0).line, 6);
    const std::optional<CarrierRoute> tls = file.routeFor("5551234");
    ASSERT_TRUE(tls);
    EXPECT_EQ(tls->protocol(), CarrierRoute::Protocol::Tap);
    EXPECT_TRUE(tls->tls());
    EXPECT_EQ(tls->host(), QStringLiteral("tap.carrier.example"));
    EXPECT_EQ(tls->port(), 18101);
    EXPECT_EQ(tls->name(), QByteArray("tap+tls://tap.carrier.example:18101"));
    const std::optional<CarrierRoute> wctp = file.routeFor("5559999");
    ASSERT_TRUE(wctp);
    EXPECT_EQ(wctp->protocol(), CarrierRoute::Protocol::Wctp);
    EXPECT_EQ(wctp->port(), 443);
    EXPECT_EQ(wctp->path(), QByteArray("/wctp"));
    EXPECT_FALSE(file.routeFor("5550000"));
}

// Every kind of bad line is reported with its number and ignored; the good lines around it
// still count.
TEST(LinesFile, MalformedLinesAreReportedWithTheirNumbersAndIgnored)
{
    const QByteArray text = "Ports=3\n"                                    // 1: before a section
                            "[Modems]\n"                                   // 2
                            "Ports=1,5\n"                                  // 3: no COM5
                            "Ports=2,2\n"                                  // 4: twice
                            "Ports=\n"                                     // 5: empty
                            "Ports=2,1\n"                                  // 6: counts
                            "Ports=3\n"                                    // 7: second time
                            "Speed=9600\n"                                 // 8: unknown key
                            "[Routes]\n"                                   // 9
                            "5551234=ftp://host:21\n"                      // 10: scheme
                            "5551235=tap://host\n"                         // 11: no port
                            "5551236=tap://host:99999\n"                   // 12: port
                            "5551237=tap+tls://host:1?cert=/x.pem\n"       // 13: option
                            "5551238=tap://:5000\n"                        // 14: no host
                            "just words\n"                                 // 15: no "="
                            "=tap://host:5000\n"                           // 16: no number
                            "5551239=wctp+https://user:pw@host/wctp\n"     // 17: user info
                            "5551240=tap://host:5000/path\n"               // 18: TAP path
                            "5551241=tap://host:5000\n"                    // 19: counts
                            "5551241=tap://other:5000\n"                   // 20: second route
                            "5551242=tap://ho st:5000\n"                   // 21: blank
                            "5551243=wctp+http://host/w?ca=/ca.pem\n"      // 22: ca on plain
                            "[Extra]\n"                                    // 23: section
                            "Key=value\n"                                  // 24: skipped
                            "[Routes]\n"                                   // 25
                            "5551244=wctp+http://host:8080/w?sender=me\n"; // 26: counts
    const LinesFile file = LinesFile::parse(text, 4);
    QList<int> lines;
    for (const LinesFile::Problem& problem : file.problems())
        lines.append(problem.line);
    EXPECT_EQ(lines,
              (QList<int>{1, 3, 4, 5, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 22, 23}));
    EXPECT_EQ(file.ports(), (QList<int>{2, 1}));
    ASSERT_EQ(file.routes().size(), 2);
    EXPECT_EQ(file.routes().at(0).accessNumber, QByteArray("5551241"));
    EXPECT_EQ(file.routes().at(0).route.host(), QStringLiteral("host"));
    EXPECT_EQ(file.routes().at(1).route.senderId(), QByteArray("me"));
    EXPECT_EQ(file.routes().at(1).route.port(), 8080);

    const Problems problems = problemsOf(file);
    const auto textOf = [&](int line) {
        for (const auto& [number, text] : problems) {
            if (number == line)
                return LinesFile::describe(LinesFile::Problem{number, text});
        }
        return QByteArray();
    };
    EXPECT_EQ(textOf(3), QByteArray("Lines.Dat line 3: Ports: \"5\" is not a COM port number "
                                    "from 1 to 4"));
    EXPECT_TRUE(textOf(10).contains("unknown scheme \"ftp\"")) << textOf(10).data();
    EXPECT_TRUE(textOf(20).contains("line 19 counts")) << textOf(20).data();
    EXPECT_TRUE(textOf(23).contains("[Extra]")) << textOf(23).data();
}

TEST(LinesFile, FileThatCannotBeReadIsReportedAndGivesTheDefaults)
{
    TempDataDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Lines.Dat")));
    const LinesFile file = LinesFile::read(dir.file(LinesFile::FileName), 1);
    EXPECT_TRUE(file.present());
    EXPECT_EQ(file.ports(), QList<int>{1});
    ASSERT_EQ(file.problems().size(), 1);
    EXPECT_EQ(file.problems().first().line, 0);
    EXPECT_TRUE(LinesFile::describe(file.problems().first()).startsWith("Lines.Dat: cannot be "))
        << LinesFile::describe(file.problems().first()).data();
}

TEST(CarrierRoute, SchemesPortsAndOptions)
{
    struct Case
    {
        QByteArray url;
        bool valid;
        bool tls;
        quint16 port;
        QByteArray name;
    };
    const Case cases[] = {
        {"tap://10.0.0.20:5000", true, false, 5000, "tap://10.0.0.20:5000"},
        {"TAP+TLS://Host.Example:18101/", true, true, 18101, "tap+tls://host.example:18101/"},
        {"tap+tls://h:1?ca=/etc/carrier%20ca.pem", true, true, 1, "tap+tls://h:1"},
        {"wctp+http://h/", true, false, 80, "wctp+http://h/"},
        {"wctp+https://h:8443", true, true, 8443, "wctp+https://h:8443"},
        {"tap://[::1]:5000", true, false, 5000, "tap://[::1]:5000"},
        {"", false, false, 0, ""},
        {"tap://h:0", false, false, 0, ""},
        {"tap://h:5000#x", false, false, 0, ""},
        {"tap://h:5000?ca=/x.pem", false, false, 0, ""},
        {"tap+tls://h:5000?ca=", false, false, 0, ""},
        {"tap+tls://h:5000?ca=/a&ca=/b", false, false, 0, ""},
        {"tap://h\xe9:5000", false, false, 0, ""},
        {"tap://h:5000\r", true, false, 5000, "tap://h:5000"},
        {"wctp://h/", false, false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toPercentEncoding().constData());
        QByteArray problem;
        const std::optional<CarrierRoute> route = CarrierRoute::parse(c.url, &problem);
        EXPECT_EQ(route.has_value(), c.valid) << problem.constData();
        if (!route || !c.valid) {
            EXPECT_FALSE(problem.isEmpty());
            continue;
        }
        EXPECT_EQ(route->tls(), c.tls);
        EXPECT_EQ(route->port(), c.port);
        EXPECT_EQ(route->name(), c.name);
    }
    const std::optional<CarrierRoute> ca =
        CarrierRoute::parse("tap+tls://h:1?ca=/etc/carrier%20ca.pem");
    ASSERT_TRUE(ca);
    EXPECT_EQ(ca->caFile(), QStringLiteral("/etc/carrier ca.pem"));
}

} // namespace
