#include "lines/linesfile.h"
#include "lines/ui/linesoptions.h"
#include "tests/support/scriptedprompts.h"
#include "tests/support/tempdatadir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QByteArray Good = "[Routes]\r\n5557000=tap://10.0.0.20:5000\r\n";

// Text with a line that cannot be used is refused with every such line named by its number, and
// nothing is written; good text is written with CR LF line ends and is what the server reads.
TEST(LinesOptions, LinesThatCannotBeUsedAreNamedAndNothingIsWritten)
{
    TempDataDir dir;
    ScriptedPrompts prompts;
    LinesOptions options(dir.path());
    EXPECT_EQ(options.load(), QString());
    EXPECT_FALSE(options.fileProblem());

    const QString bad = QStringLiteral("[Routes]\n5551234=ftp://host:21\n5557000=tap://host\n"
                                       "[Routes]\n5559999=wctp+https://carrier.example/wctp\n");
    const std::optional<QString> refused = options.check(bad);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->contains(QStringLiteral("Lines.Dat line 2: "))) << refused->toStdString();
    EXPECT_TRUE(refused->contains(QStringLiteral("Lines.Dat line 3: "))) << refused->toStdString();
    EXPECT_FALSE(refused->contains(QStringLiteral("line 5"))) << refused->toStdString();
    const LinesOptions::Applied applied = options.apply(bad, prompts);
    EXPECT_FALSE(applied.saved);
    EXPECT_EQ(applied.failure, refused);
    EXPECT_FALSE(dir.exists(LinesFile::FileName));

    const QString good = QStringLiteral("[Routes]\n5557000=tap://10.0.0.20:5000\n\n\n");
    EXPECT_FALSE(options.check(good));
    EXPECT_TRUE(options.apply(good, prompts).saved);
    EXPECT_EQ(dir.read(LinesFile::FileName), Good);
    const LinesFile read = LinesFile::read(dir.file(LinesFile::FileName), 1);
    ASSERT_EQ(read.routes().size(), 1);
    EXPECT_EQ(read.routes().first().accessNumber, "5557000");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

// What was shown is not written again: no file is made from an empty page, a file's own
// spelling stays, and a file that cannot be read is replaced only when the operator agrees.
TEST(LinesOptions, UnchangedTextLeavesTheFileAlone)
{
    TempDataDir dir;
    ScriptedPrompts prompts;
    LinesOptions options(dir.path());
    options.load();
    EXPECT_FALSE(options.apply(QString(), prompts).saved);
    EXPECT_FALSE(dir.exists(LinesFile::FileName));

    const QByteArray handMade = "; carriers\n[routes]\n5557000=tap://10.0.0.20:5000";
    dir.write(LinesFile::FileName, handMade);
    const QString shown = options.load();
    EXPECT_EQ(shown, QString::fromLatin1(handMade));
    EXPECT_FALSE(options.apply(shown, prompts).saved);
    EXPECT_EQ(dir.read(LinesFile::FileName), handMade);

    // A folder where the file should be cannot be read.
    QFile::remove(dir.file(LinesFile::FileName));
    ASSERT_TRUE(QDir(dir.path()).mkdir(LinesFile::FileName));
    EXPECT_EQ(options.load(), QString());
    ASSERT_TRUE(options.fileProblem());
    EXPECT_FALSE(options.apply(QString(), prompts).saved) << "an untouched page replaced it";
    prompts.expectQuestion(
        *options.fileProblem() + QStringLiteral(".\r\nReplace it with the lines entered?"), false);
    EXPECT_FALSE(options.apply(QString::fromLatin1(Good), prompts).saved);
    EXPECT_TRUE(QFileInfo(dir.file(LinesFile::FileName)).isDir());
}

} // namespace
