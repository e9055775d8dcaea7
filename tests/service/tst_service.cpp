#include "service/loglinetext.h"
#include "service/programoptions.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

const QDateTime When(QDate(2026, 12, 7), QTime(17, 40, 1));

// Whatever bytes a workstation puts into a logged field, standard output gets exactly one line,
// and the bytes can be told apart again.
TEST(LogLineTextTest, NoBytesFromAPeerEndTheLineOrHideAmongOthers)
{
    QRandomGenerator random(20261207);
    for (int round = 0; round < 500; ++round) {
        QByteArray bytes;
        const int size = random.bounded(0, 40);
        for (int i = 0; i < size; ++i)
            bytes.append(char(random.bounded(0, 256)));
        const QByteArray line = LogLineText::format(When, "Connection", QString::fromLatin1(bytes));
        ASSERT_EQ(line.count('\n'), 1);
        ASSERT_TRUE(line.endsWith('\n'));
        ASSERT_EQ(line.count('\r'), 0);
        ASSERT_TRUE(line.startsWith("2026-12-07 17:40:01 Connection: "));
        const QString text = QString::fromUtf8(line);
        for (const QChar c : text.chopped(1))
            ASSERT_FALSE(c.category() == QChar::Other_Control) << line.toHex().constData();
    }
    EXPECT_EQ(LogLineText::format(When, "Transmission", QStringLiteral("a\r\nb\\x0d \u00e9\u0085")),
              QByteArray("2026-12-07 17:40:01 Transmission: a\\x0d\\x0ab\\\\x0d \xc3\xa9\\x85\n"));
}

TEST(ProgramOptionsTest, ReadsTheModeTheFolderAndTheFrontEndsPorts)
{
    const QString work = QStringLiteral("/srv/work");
    const QString program = QStringLiteral("zelkor-server");

    ProgramOptions plain = ProgramOptions::parse({program}, work);
    EXPECT_EQ(plain.action, ProgramOptions::Action::Run);
    EXPECT_FALSE(plain.headless);
    EXPECT_EQ(plain.dataDir, work);
    EXPECT_FALSE(plain.snppPort);
    EXPECT_FALSE(plain.httpPort);

    ProgramOptions service = ProgramOptions::parse(
        {program, QStringLiteral("--headless"), QStringLiteral("--data-dir=../state/./zelkor"),
         QStringLiteral("--snpp-port"), QStringLiteral("444"), QStringLiteral("--http-port=0")},
        work);
    EXPECT_EQ(service.action, ProgramOptions::Action::Run);
    EXPECT_TRUE(service.headless);
    EXPECT_EQ(service.dataDir, QStringLiteral("/srv/state/zelkor"));
    EXPECT_EQ(service.snppPort, QStringLiteral("444"));
    EXPECT_EQ(service.httpPort, QStringLiteral("0"));
    EXPECT_EQ(ProgramOptions::parse({program, QStringLiteral("--http-port")}, work).action,
              ProgramOptions::Action::Error);

    EXPECT_EQ(ProgramOptions::parse({program, QStringLiteral("--data-dir")}, work).action,
              ProgramOptions::Action::Error);
    EXPECT_EQ(
        ProgramOptions::parse({program, QStringLiteral("--data-dir="), QStringLiteral("x")}, work)
            .action,
        ProgramOptions::Action::Error);
    EXPECT_EQ(ProgramOptions::parse({program, QStringLiteral("-x")}, work).action,
              ProgramOptions::Action::Error);
    EXPECT_EQ(
        ProgramOptions::parse({program, QStringLiteral("--help"), QStringLiteral("--x")}, work)
            .action,
        ProgramOptions::Action::Error);
    EXPECT_EQ(ProgramOptions::parse({program, QStringLiteral("-h")}, work).action,
              ProgramOptions::Action::Help);
}

} // namespace
