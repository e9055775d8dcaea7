#include "core/configfile.h"
#include "core/serverconfig.h"
#include "tests/app/modemprogramconfig.h"
#include "tests/support/freeport.h"
#include "tests/support/headlessprocess.h"
#include "tests/support/scriptedmodem.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Runs a program to its end while this test's event loop goes on (the scripted modem answers
// from it); its exit code, -1 when it did not end within the safety limit.
int runProgram(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return -1;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The built program run headless with its HTTP front end on from the command line, two
// companies in Provider.dat and COM1 a scripted modem; its status page loaded in Debian's
// chromium, run headless the way an operator's browser would load it.
class StatusPageInBrowser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_modem.isValid()) << "no pseudo-terminal for the modem";
        ASSERT_TRUE(m_modem.linkAs(m_dir.path(), 1));
        m_httpPort = freeLoopbackPort();
        m_dir.write(QStringLiteral("Allow.txt"), "555\r\n");
        m_dir.write(QStringLiteral("Provider.dat"),
                    "[Metro Paging]\r\nAccess Number=5551234\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n"
                    "[Harbour Paging]\r\nAccess Number=5559999\r\nPassword=\r\nLength=80\r\n"
                    "Parity=2\r\nDataBits=2\r\nStopBits=0\r\n");
        m_dir.write(QStringLiteral("sUser.Dat"),
                    "[alice]\r\nPIN=1001\r\nPROVIDER=Metro Paging\r\n"
                    "[bob]\r\nPIN=1002\r\nPROVIDER=Metro Paging\r\n"
                    "[carol]\r\nPIN=2003\r\nPROVIDER=Harbour Paging\r\n");
        TServerConfig config = modemProgramConfig(m_dir.path(), freeLoopbackPort());
        config.UserFile = "sUser.Dat";
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), config, m_prompts));
        m_config = config;
    }

    // Checks every `minutes` from the next check on: Server.Dat written and read again.
    void checkEvery(qint32 minutes)
    {
        m_config.QueTime = minutes;
        ASSERT_TRUE(ConfigFile::SaveConfig(m_dir.path(), m_config, m_prompts));
        m_program.signal(SIGHUP);
        ASSERT_TRUE(m_program.waitFor([&] {
            const QByteArray& out = m_program.out();
            const qsizetype reload = out.indexOf("Reloading Server.Dat");
            return reload >= 0 && out.indexOf("Listening on port", reload) > reload;
        })) << m_program.output();
    }

    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(m_httpPort) + path;
    }

    // Hands in a page through the API; the ids it was given, empty when it was not taken.
    QStringList page(const QByteArray& json)
    {
        QByteArray out;
        const int exit = runProgram(
            QStringLiteral("curl"),
            {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("--max-time"),
             QStringLiteral("30"), QStringLiteral("-H"),
             QStringLiteral("Content-Type: application/json"), QStringLiteral("--data-binary"),
             QString::fromUtf8(json), url(QStringLiteral("/api/v1/pages"))},
            &out);
        QStringList ids;
        if (exit != 0)
            return ids;
        const QJsonArray pages =
            QJsonDocument::fromJson(out).object().value(QStringLiteral("pages")).toArray();
        for (const QJsonValue& taken : pages)
            ids << taken.toObject().value(QStringLiteral("id")).toString();
        return ids;
    }

    // Chromium's options: headless, as root, a profile of its own, a phone's window.
    QStringList browser() const
    {
        return {QStringLiteral("--headless"),
                QStringLiteral("--no-sandbox"),
                QStringLiteral("--disable-gpu"),
                QStringLiteral("--disable-background-networking"),
                QStringLiteral("--disable-component-update"),
                QStringLiteral("--disable-sync"),
                QStringLiteral("--no-first-run"),
                QStringLiteral("--user-data-dir=") + m_profile.path(),
                QStringLiteral("--window-size=412,915")};
    }

    TempDataDir m_dir;
    QTemporaryDir m_profile;
    ScriptedModem m_modem;
    ScriptedPrompts m_prompts;
    TServerConfig m_config;
    HeadlessProcess m_program{QStringLiteral(ZELKOR_SERVER_BINARY)};
    QByteArray m_httpPort;
};

// The row of the pages table for page `id`, as chromium's DOM has it.
QString rowOf(const QString& dom, const QString& id)
{
    const QRegularExpression row(QStringLiteral("<tr>((?:(?!</tr>).)*<td class=\"extra\">") +
                                 QRegularExpression::escape(id) + QStringLiteral("</td>)</tr>"));
    return row.match(dom).captured(1);
}

TEST_F(StatusPageInBrowser, ShowsQueuedPagesByCompanyAndTheStateOfEachPage)
{
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
    ASSERT_TRUE(m_profile.isValid());

    // A clock at second 45 when the program starts: its first check comes some 15 s later, at
    // the minute's end; the next one five minutes after that, so that the pages handed in after
    // the first check stay queued while the browser looks.
    const ShiftedZone zone = ShiftedZone::atSecond(45);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TZ"), QString::fromLatin1(zone.tz()));
    ASSERT_TRUE(m_program.start(m_dir.path(),
                                {QStringLiteral("--http-port"), QString::fromLatin1(m_httpPort)},
                                environment));
    ASSERT_TRUE(m_program.waitForOutput("HTTP Listening on port " + m_httpPort))
        << m_program.output();
    checkEvery(5);
    ASSERT_TRUE(m_modem.dialled().isEmpty()) << "the first check came before the reload";

    // One page delivered at the first check.
    const QStringList delivered = page(R"({"to": "alice", "message": "disk full on db1"})");
    ASSERT_EQ(delivered.size(), 1) << m_program.output();
    ASSERT_TRUE(m_program.waitFor([&] {
        return m_modem.pins().size() == 1 && !m_modem.lineOpen();
    })) << m_program.output();
    ASSERT_TRUE(m_program.waitForOutput("Call(s) Compleated")) << m_program.output();

    // Three more that wait for the next check, five minutes on: two for Metro, one for Harbour.
    const QStringList metro = page(R"({"to": ["alice", "bob"], "message": "db1 back"})");
    const QStringList harbour = page(R"({"to": "carol", "message": "backup late"})");
    ASSERT_EQ(metro.size(), 2) << m_program.output();
    ASSERT_EQ(harbour.size(), 1) << m_program.output();

    QByteArray bytes;
    ASSERT_EQ(runProgram(QStringLiteral("chromium"),
                         browser() + QStringList{QStringLiteral("--dump-dom"), url({})}, &bytes),
              0)
        << bytes.right(2000).constData();
    const QString dom = QString::fromUtf8(bytes);
    // The queue knows a company by its access number; the page names it from the company list.
    EXPECT_TRUE(dom.contains(QStringLiteral("<span id=\"queued\">3</span>"))) << bytes.constData();
    EXPECT_TRUE(dom.contains(
        QStringLiteral("<tr><td>Metro Paging (5551234)</td><td class=\"num\">2</td></tr>")))
        << bytes.constData();
    EXPECT_TRUE(dom.contains(
        QStringLiteral("<tr><td>Harbour Paging (5559999)</td><td class=\"num\">1</td></tr>")))
        << bytes.constData();
    EXPECT_TRUE(dom.contains(QStringLiteral("<span id=\"recent\">4</span>"))) << bytes.constData();
    const QString deliveredRow = rowOf(dom, delivered[0]);
    EXPECT_TRUE(deliveredRow.contains(QStringLiteral(">delivered</td>")))
        << "row of " << delivered[0].toStdString() << ": " << deliveredRow.toStdString();
    EXPECT_TRUE(deliveredRow.contains(QStringLiteral(">alice</td>"))) << deliveredRow.toStdString();
    for (const QString& id : metro + harbour) {
        EXPECT_TRUE(rowOf(dom, id).contains(QStringLiteral(">queued</td>")))
            << "row of " << id.toStdString() << ": " << rowOf(dom, id).toStdString();
    }
    EXPECT_TRUE(rowOf(dom, harbour[0]).contains(QStringLiteral(">5559999</td>")));
    EXPECT_TRUE(dom.contains(QStringLiteral("No call in progress."))) << bytes.constData();

    // The picture an operator sees on a phone, kept with the data folder for a person to look
    // at while the test runs (ZELKOR_KEEP_SCREENSHOT names a file to copy it to).
    const QString shot = m_dir.path() + QStringLiteral("/status-page.png");
    QByteArray output;
    EXPECT_EQ(runProgram(QStringLiteral("chromium"),
                         browser() + QStringList{QStringLiteral("--screenshot=") + shot, url({})},
                         &output),
              0)
        << output.right(2000).constData();
    QFile picture(shot);
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly)) << shot.toStdString();
    EXPECT_TRUE(picture.read(8).startsWith("\x89PNG")) << "not a PNG";
    EXPECT_GT(picture.size(), 5000) << "too small for a rendered page";
    if (const QString keep = qEnvironmentVariable("ZELKOR_KEEP_SCREENSHOT"); !keep.isEmpty()) {
        QFile::remove(keep);
        QFile::copy(shot, keep);
    }

    m_program.signal(SIGTERM);
    ASSERT_TRUE(m_program.waitForExit()) << m_program.output();
}

} // namespace
