#include "pages/commandline.h"
#include "pages/pagessettings.h"
#include "tests/support/tempdatadir.h"

#include "foundation/errors.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

std::optional<PagesSettings> readFile(const QByteArray& content, QString* problemOut = nullptr)
{
    TempDataDir dir;
    dir.write(PagesSettings::FileName, content);
    QString problem;
    auto settings = PagesSettings::read(dir.path(), problem);
    if (problemOut)
        *problemOut = problem;
    return settings;
}

TEST(PagesSettings, NoFileGivesTheDefaultsAndAGoodFileIsReadWhole)
{
    TempDataDir dir;
    QString problem;
    const auto none = PagesSettings::read(dir.path(), problem);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->keepDays, 30);
    EXPECT_EQ(none->maxAgeHours, 0);
    EXPECT_TRUE(none->notifyCommand.isEmpty());

    const auto good = readFile("[Pages]\r\nkeepdays= 7 \r\nMaxAgeHours=48\r\n"
                               "NotifyCommand=/usr/local/bin/page-mail \"ops team\"\r\n");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->keepDays, 7);
    EXPECT_EQ(good->maxAgeHours, 48);
    EXPECT_EQ(good->notifyCommand, "/usr/local/bin/page-mail \"ops team\"");
    const auto partial = readFile("[Pages]\r\nMaxAgeHours=1\r\n");
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->keepDays, 30) << "a missing key reads as its default";
}

TEST(PagesSettings, AFileHoldingAnythingNoSaveWritesIsReportedNotApplied)
{
    const QByteArray bad[] = {
        "[Pages]\r\nKeepDays=0\r\n",
        "[Pages]\r\nKeepDays=3651\r\n",
        "[Pages]\r\nKeepDays=-5\r\n",
        "[Pages]\r\nKeepDays=30d\r\n",
        "[Pages]\r\nKeepDays=\r\n",
        "[Pages]\r\nMaxAgeHours=8761\r\n",
        "[Pages]\r\nMaxAgeHours=0x10\r\n",
        "[Pages]\r\nMaxAgeHours=99999999999\r\n",
        "[Pages]\r\nNotifyCommand=/bin/mail \"unclosed\r\n",
        "[Pages]\r\nNotifyCommand=/bin/mail 'unclosed\r\n",
        "[Pages]\r\nNotifyCommand=/bin/mail trailing\\\r\n",
        "[Pages]\r\nNotifyCommand=\"\" empty-program\r\n",
        "[Pages]\r\nNotifyCommand=/bin/" + QByteArray(1100, 'x') + "\r\n",
        // Cut within the blanks before its last word, the rest would look whole.
        "[Pages]\r\nNotifyCommand=/bin/" + QByteArray(1015, 'x') + "        last\r\n",
        "[Other]\r\nKeepDays=5\r\n",
        "just text\r\n",
    };
    for (const QByteArray& content : bad) {
        QString problem;
        EXPECT_FALSE(readFile(content, &problem)) << content.left(60).constData();
        EXPECT_TRUE(problem.contains(PagesSettings::FileName)) << problem.toStdString();
    }
    TempDataDir dir;
    QDir(dir.path()).mkdir(PagesSettings::FileName);
    QString problem;
    EXPECT_FALSE(PagesSettings::read(dir.path(), problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("could not be read"))) << problem.toStdString();
}

TEST(PagesSettings, WhatIsSavedReadsBackAndWhatCannotBeReadIsNotSaved)
{
    TempDataDir dir;
    PagesSettings settings;
    settings.keepDays = 90;
    settings.maxAgeHours = 12;
    settings.notifyCommand = "/usr/bin/logger -t 'zelkor pages' --";
    ASSERT_FALSE(settings.problem());
    settings.save(dir.path());
    QString problem;
    EXPECT_EQ(PagesSettings::read(dir.path(), problem), settings) << problem.toStdString();

    for (auto change : std::initializer_list<std::function<void(PagesSettings&)>>{
             [](PagesSettings& s) { s.keepDays = 0; },
             [](PagesSettings& s) { s.maxAgeHours = -1; },
             [](PagesSettings& s) { s.notifyCommand = "mail 'x"; },
             [](PagesSettings& s) { s.notifyCommand = " mail"; },
             [](PagesSettings& s) { s.notifyCommand = "mail\nrm -rf /"; },
             [](PagesSettings& s) { s.notifyCommand = QByteArray(1023, 'm'); },
         }) {
        PagesSettings wrong = settings;
        change(wrong);
        EXPECT_TRUE(wrong.problem()) << wrong.notifyCommand.left(40).constData();
    }
}

TEST(CommandLine, SplitsLikeAShellWithoutExpandingAnything)
{
    struct Case
    {
        QByteArray line;
        QList<QByteArray> words;
    };
    const Case cases[] = {
        {"/bin/mail", {"/bin/mail"}},
        {"  a \t b  ", {"a", "b"}},
        {"a 'b c' d", {"a", "b c", "d"}},
        {"a \"b c\" d", {"a", "b c", "d"}},
        {"a \"say \\\"hi\\\" \\\\ \\n\"", {"a", "say \"hi\" \\ \\n"}},
        {"a 'it''s'", {"a", "its"}},
        {"a \"it's\"", {"a", "it's"}},
        {"a 'x \"y\" z'", {"a", "x \"y\" z"}},
        {"a b\\ c \\'d", {"a", "b c", "'d"}},
        {"a '' \"\" e", {"a", "", "", "e"}},
        {"pre\"fix ed\"post", {"prefix edpost"}},
        {"echo $HOME `id` ~ * ; | & > < # x",
         {"echo", "$HOME", "`id`", "~", "*", ";", "|", "&", ">", "<", "#", "x"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) {
        const CommandLine::Split split = CommandLine::split(c.line);
        EXPECT_TRUE(split.problem.isEmpty()) << c.line.constData();
        EXPECT_EQ(split.words, c.words) << c.line.constData();
    }
    for (const QByteArray line : {"a 'b", "a \"b", "a \"b\\\"", "a b\\"}) {
        const CommandLine::Split split = CommandLine::split(line);
        EXPECT_FALSE(split.problem.isEmpty()) << line.constData();
        EXPECT_TRUE(split.words.isEmpty()) << line.constData();
    }
}

} // namespace
