#include "http/httpsettings.h"

#include "foundation/errors.h"
#include "tests/support/tempdatadir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QStringList args(std::initializer_list<const char*> list)
{
    QStringList out{QStringLiteral("zelkor-server")};
    for (const char* a : list)
        out.append(QString::fromLatin1(a));
    return out;
}

TEST(HttpSettings, ReadsWhatTheFileSaysAndRefusesADamagedOne)
{
    TempDataDir dir;
    QString problem;
    ASSERT_TRUE(HttpSettings::read(dir.path(), problem));
    EXPECT_EQ(*HttpSettings::read(dir.path(), problem), HttpSettings{}) << "no file: off";
    EXPECT_FALSE(HttpSettings{}.enabled);
    EXPECT_EQ(HttpSettings{}.port, 5680);

    dir.write(QStringLiteral("Http.Dat"),
              "[HTTP]\r\nEnabled=1\r\nPort=8080\r\nToken=s3cr3t-T0k.en==\r\n");
    const std::optional<HttpSettings> read = HttpSettings::read(dir.path(), problem);
    ASSERT_TRUE(read) << problem.toStdString();
    EXPECT_TRUE(read->enabled);
    EXPECT_EQ(read->port, 8080);
    EXPECT_EQ(read->token, "s3cr3t-T0k.en==");

    const std::pair<const char*, const char*> damaged[] = {
        {"[HTTP]\r\nEnabled=2\r\n", "neither 0 nor 1"},
        {"[HTTP]\r\nPort=65536\r\n", "not a port number"},
        {"[HTTP]\r\nPort=80a\r\n", "not a port number"},
        {"[HTTP]\r\nToken=two words\r\n", "Token"},
        {"[HTTP]\r\nToken=a=b\r\n", "Token"},
        {"[Other]\r\nEnabled=1\r\n", "no [HTTP] settings"},
    };
    for (const auto& [file, reason] : damaged) {
        dir.write(QStringLiteral("Http.Dat"), file);
        problem.clear();
        EXPECT_FALSE(HttpSettings::read(dir.path(), problem)) << file;
        EXPECT_TRUE(problem.contains(QLatin1String(reason))) << problem.toStdString();
        EXPECT_FALSE(problem.contains(QLatin1String("two words"))) << "the token stays secret";
    }
}

TEST(HttpSettings, SavesTheTokenReadableByTheServerAlone)
{
    TempDataDir dir;
    HttpSettings settings;
    settings.enabled = true;
    settings.port = 6000;
    settings.token = "abc";
    settings.save(dir.path());
    QString problem;
    EXPECT_EQ(HttpSettings::read(dir.path(), problem), settings);
    EXPECT_EQ(QFile::permissions(HttpSettings::filePath(dir.path())) &
                  (QFile::ReadGroup | QFile::ReadOther),
              QFile::Permissions());
}

TEST(HttpSettings, CommandLineSwitchesTheListenerOnAndOff)
{
    HttpSettings current;
    current.token = "t";
    EXPECT_FALSE(HttpSettings::fromArguments(args({"--headless"}), current));
    const auto on = HttpSettings::fromArguments(args({"--http-port", "7000"}), current);
    ASSERT_TRUE(on);
    EXPECT_TRUE(on->enabled);
    EXPECT_EQ(on->port, 7000);
    EXPECT_EQ(on->token, "t") << "the token stays";
    const auto equals = HttpSettings::fromArguments(args({"--http-port=7001"}), current);
    ASSERT_TRUE(equals);
    EXPECT_EQ(equals->port, 7001);
    HttpSettings running = *on;
    const auto off = HttpSettings::fromArguments(args({"--http-port", "0"}), running);
    ASSERT_TRUE(off);
    EXPECT_FALSE(off->enabled);
    EXPECT_EQ(off->port, 7000) << "off keeps the port";
    EXPECT_THROW(HttpSettings::fromArguments(args({"--http-port"}), current), EZelkorError);
    EXPECT_THROW(HttpSettings::fromArguments(args({"--http-port", "70000"}), current),
                 EZelkorError);
    EXPECT_THROW(HttpSettings::fromArguments(args({"--http-port", "-1"}), current), EZelkorError);

    TempDataDir dir;
    EXPECT_EQ(HttpSettings::applyArguments(args({"--http-port", "5999"}), dir.path()),
              std::nullopt);
    EXPECT_EQ(HttpSettings::load(dir.path()).port, 5999);
    EXPECT_TRUE(HttpSettings::load(dir.path()).enabled);
    EXPECT_TRUE(HttpSettings::applyArguments(args({"--http-port", "x"}), dir.path()));

    // A damaged token is written back as it was, never dropped: the listener refuses the file
    // instead of opening without a token.
    dir.write(QStringLiteral("Http.Dat"), "[HTTP]\r\nEnabled=0\r\nToken=bad token\r\n");
    EXPECT_EQ(HttpSettings::applyArguments(args({"--http-port", "5998"}), dir.path()),
              std::nullopt);
    QString problem;
    EXPECT_FALSE(HttpSettings::read(dir.path(), problem));
    EXPECT_EQ(HttpSettings::load(dir.path()).token, "bad token");
}

} // namespace
