#include "pages/pagessettings.h"
#include "pages/ui/pagekeepingoptions.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using Entries = PageKeepingOptions::Entries;
using Field = PageKeepingOptions::Field;

const Entries Defaults{QStringLiteral("30"), QStringLiteral("0"), QString()};

PagesSettings readBack(const TempDataDir& dir)
{
    QString problem;
    const std::optional<PagesSettings> read = PagesSettings::read(dir.path(), problem);
    EXPECT_TRUE(read) << problem.toStdString();
    return read.value_or(PagesSettings{});
}

// Every entry a number field or the command line cannot stand for is refused with the field at
// fault and a text that names what was typed; nothing is written and nothing is asked.
TEST(PageKeepingOptions, HostileEntriesAreRefusedAndNothingIsWritten)
{
    TempDataDir dir;
    ScriptedPrompts prompts;
    PageKeepingOptions options(dir.path());
    ASSERT_EQ(options.load(), Defaults);
    ASSERT_FALSE(options.fileProblem());

    const QString numbers[] = {
        QString(), QStringLiteral("  "), QStringLiteral("-1"), QStringLiteral("1e3"),
        QStringLiteral("30d"), QStringLiteral("0x1E"), QStringLiteral("+30"), QStringLiteral("3 0"),
        QStringLiteral("99999999999"),
        // 2^32 + 30: a conversion that wraps would read it as 30.
        QStringLiteral("4294967326"),
        // Digits of other scripts, which a Unicode-aware conversion would take.
        QString::fromUtf8("\u0663\u0660"), QString::fromUtf8("\uFF13\uFF10"),
        QString(5000, QLatin1Char('9'))};
    struct Case
    {
        Entries entries;
        Field field;
        QString typed;
    };
    QList<Case> cases;
    for (const QString& bad : numbers) {
        cases.append({{bad, QStringLiteral("0"), QString()}, Field::KeepDays, bad});
        cases.append({{QStringLiteral("30"), bad, QString()}, Field::MaxAgeHours, bad});
    }
    for (const char* outOfRange : {"0", "3651"})
        cases.append({{QLatin1String(outOfRange), QStringLiteral("0"), QString()},
                      Field::KeepDays,
                      QLatin1String(outOfRange)});
    cases.append({{QStringLiteral("30"), QStringLiteral("8761"), QString()},
                  Field::MaxAgeHours,
                  QStringLiteral("8761")});
    for (const QString& command :
         {QStringLiteral("/bin/mail \"unclosed"), QStringLiteral("/bin/mail 'unclosed"),
          QStringLiteral("/bin/mail trailing\\"), QStringLiteral("\"\" no-program"),
          QStringLiteral("/bin/mail\nrm -rf /"), QStringLiteral("/bin/mail \x01"),
          QStringLiteral("/bin/") + QString(1100, QLatin1Char('m')),
          // Short enough as text, too long once each character takes two bytes in the file.
          QStringLiteral("/bin/") + QString(600, QChar(0xE9))})
        cases.append({{QStringLiteral("30"), QStringLiteral("0"), command},
                      Field::NotifyCommand,
                      QString()});

    for (const Case& c : cases) {
        const std::string shown = c.entries.keepDays.left(30).toStdString() + " | " +
                                  c.entries.maxAgeHours.left(30).toStdString() + " | " +
                                  c.entries.notifyCommand.left(30).toStdString();
        const std::optional<PageKeepingOptions::Refusal> refused = options.check(c.entries);
        ASSERT_TRUE(refused) << shown;
        EXPECT_EQ(refused->field, c.field) << shown;
        EXPECT_LT(refused->text.size(), 300) << "a pasted entry floods the box: " << shown;
        if (c.field != Field::NotifyCommand) {
            EXPECT_TRUE(refused->text.startsWith(QLatin1Char('\'') + c.typed.left(24)))
                << refused->text.toStdString();
        }
        EXPECT_FALSE(options.settingsOf(c.entries)) << shown;
        const PageKeepingOptions::Applied applied = options.apply(c.entries, prompts);
        EXPECT_FALSE(applied.saved) << shown;
        EXPECT_EQ(applied.failure, refused->text) << shown;
        EXPECT_FALSE(dir.exists(PagesSettings::FileName)) << "written: " << shown;
    }
    EXPECT_TRUE(prompts.shown().isEmpty());

    // The edges of each range, blanks around a number and leading zeros are taken.
    const Entries edges{QStringLiteral(" 3650 "), QStringLiteral("08760"), QString()};
    ASSERT_FALSE(options.check(edges));
    EXPECT_EQ(options.settingsOf(edges), (PagesSettings{3650, 8760, {}}));
    EXPECT_EQ(options.settingsOf({QStringLiteral("1"), QStringLiteral("0"), QString()}),
              (PagesSettings{1, 0, {}}));
}

// What OK stores reads back as the same settings, with the command's quotes and escapes as
// typed and the file's other sections kept; settings left as shown write nothing.
TEST(PageKeepingOptions, WhatIsStoredReadsBackAndUnchangedSettingsWriteNothing)
{
    TempDataDir dir;
    ScriptedPrompts prompts;
    dir.write(PagesSettings::FileName, "[Note]\r\nKept=yes\r\n[Pages]\r\nKeepDays=7\r\n");
    PageKeepingOptions options(dir.path());
    const Entries shown = options.load();
    EXPECT_EQ(shown, (Entries{QStringLiteral("7"), QStringLiteral("0"), QString()}));
    const PageKeepingOptions::Applied same = options.apply(shown, prompts);
    EXPECT_FALSE(same.saved);
    EXPECT_FALSE(same.failure);
    EXPECT_EQ(dir.read(PagesSettings::FileName), "[Note]\r\nKept=yes\r\n[Pages]\r\nKeepDays=7\r\n");

    const QString command = QString::fromUtf8(
        "/opt/zelk\u00f6r/page-mail \"Paging Admins <pagers@example.net>\" 'it''s' a\\ b "
        "\"say \\\"hi\\\"\" $HOME;id");
    const Entries typed{QStringLiteral(" 90 "), QStringLiteral("48"),
                        QStringLiteral("  ") + command + QStringLiteral(" ")};
    const PageKeepingOptions::Applied applied = options.apply(typed, prompts);
    EXPECT_TRUE(applied.saved);
    EXPECT_FALSE(applied.failure);
    EXPECT_EQ(readBack(dir), (PagesSettings{90, 48, command.toUtf8()}));
    EXPECT_TRUE(dir.read(PagesSettings::FileName).startsWith("[Note]\r\nKept=yes\r\n"));

    PageKeepingOptions again(dir.path());
    EXPECT_EQ(again.load(), (Entries{QStringLiteral("90"), QStringLiteral("48"), command}));
    EXPECT_FALSE(again.apply(again.shown(), prompts).saved);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

// A command whose bytes are no text in the file system's encoding is shown as well as it can
// be; left as shown, it is stored as the file held it, not as what was shown.
TEST(PageKeepingOptions, ACommandLeftAsShownKeepsItsBytes)
{
    TempDataDir dir;
    ScriptedPrompts prompts;
    const QByteArray command = "/opt/z\xE9/notify --to 'ops'";
    dir.write(PagesSettings::FileName,
              "[Pages]\r\nKeepDays=7\r\nNotifyCommand=" + command + "\r\n");
    PageKeepingOptions options(dir.path());
    Entries entries = options.load();
    ASSERT_FALSE(options.fileProblem());
    entries.keepDays = QStringLiteral("8");
    ASSERT_TRUE(options.apply(entries, prompts).saved);
    EXPECT_EQ(readBack(dir), (PagesSettings{8, 0, command}));
}

// A file that cannot be used shows the defaults and says why. OK leaves it as it is unless the
// settings were changed, and then replaces it only when the operator agrees.
TEST(PageKeepingOptions, AFileThatCannotBeUsedIsReplacedOnlyWithTheOperatorsYes)
{
    TempDataDir dir;
    ScriptedPrompts prompts;
    const QByteArray damaged = "[Pages]\r\nKeepDays=abc\r\nNotifyCommand=/bin/old\r\n";
    dir.write(PagesSettings::FileName, damaged);
    PageKeepingOptions options(dir.path());
    EXPECT_EQ(options.load(), Defaults);
    ASSERT_TRUE(options.fileProblem());
    EXPECT_TRUE(options.fileProblem()->contains(QStringLiteral("Pages.Dat is damaged")))
        << options.fileProblem()->toStdString();

    const PageKeepingOptions::Applied unchanged = options.apply(Defaults, prompts);
    EXPECT_FALSE(unchanged.saved);
    EXPECT_FALSE(unchanged.failure);
    EXPECT_EQ(dir.read(PagesSettings::FileName), damaged);

    const Entries changed{QStringLiteral("10"), QStringLiteral("0"), QString()};
    prompts.expectQuestion(QStringLiteral("Replace Pages.Dat"), false);
    const PageKeepingOptions::Applied declined = options.apply(changed, prompts);
    EXPECT_FALSE(declined.saved);
    EXPECT_FALSE(declined.failure);
    EXPECT_EQ(dir.read(PagesSettings::FileName), damaged);

    prompts.expectQuestion(QStringLiteral("Replace Pages.Dat"), true);
    EXPECT_TRUE(options.apply(changed, prompts).saved);
    EXPECT_EQ(readBack(dir), (PagesSettings{10, 0, {}}));
    EXPECT_TRUE(prompts.scriptDone());
    EXPECT_FALSE(options.apply(changed, prompts).saved) << "stored twice";

    // A file that cannot be read at all: the write fails, which is said, and it stays.
    TempDataDir other;
    ASSERT_TRUE(QDir(other.path()).mkdir(PagesSettings::FileName));
    PageKeepingOptions unreadable(other.path());
    EXPECT_EQ(unreadable.load(), Defaults);
    ASSERT_TRUE(unreadable.fileProblem());
    EXPECT_TRUE(unreadable.fileProblem()->contains(QStringLiteral("could not be read")));
    prompts.expectQuestion(QStringLiteral("Replace Pages.Dat"), true);
    const PageKeepingOptions::Applied failed = unreadable.apply(changed, prompts);
    EXPECT_FALSE(failed.saved);
    ASSERT_TRUE(failed.failure);
    EXPECT_TRUE(failed.failure->contains(PagesSettings::FileName)) << failed.failure->toStdString();
    EXPECT_TRUE(QFileInfo(other.file(PagesSettings::FileName)).isDir());
}

} // namespace
