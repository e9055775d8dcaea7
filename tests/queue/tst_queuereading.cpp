#include "queue/messagequeuefile.h"

#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// The queue file as call processing and the kept-queue count read and empty it.
class QueueReadingTest : public ::testing::Test
{
protected:
    TempDataDir dir;
    QString path() const { return dir.file(QStringLiteral("Message.Dat")); }
    QByteArray content() const { return dir.read(QStringLiteral("Message.Dat")); }
    MessageQueueFile queue() const { return MessageQueueFile(path()); }

    static QList<QByteArray> values(const QueuedCompany& company)
    {
        QList<QByteArray> result;
        for (const QueuedCompany::Message& message : company.messages)
            result.append(message.value);
        return result;
    }
};

// 1,200 pages for one company fill far more than the store's 8 KiB key list: every one of them
// is counted and read, in the order written.
TEST_F(QueueReadingTest, EveryKeyOfALongSectionIsCountedAndRead)
{
    constexpr int Pages = 1200;
    QList<QueueSubmission> submissions;
    for (int i = 1; i <= Pages; ++i) {
        submissions.append(
            {"5551234", CompanyLineSettings{},
             QueueEntry{"page " + QByteArray::number(i), "", "1234567", "127.0.0.2", "Pat"}});
    }
    ASSERT_TRUE(queue().writeSubmissions(submissions));
    QList<QByteArray> capped;
    TIniFile(path()).ReadKeys("5551234", capped);
    ASSERT_LT(capped.size(), Pages) << "the key list no longer hides keys; enlarge the section";

    EXPECT_EQ(queue().countMessages(), Pages);
    const QueuedCompany company = queue().readCompany("5551234");
    ASSERT_EQ(company.messages.size(), Pages);
    for (int i = 0; i < Pages; ++i) {
        EXPECT_EQ(company.messages[i].key, MessageQueueFile::messageKey(i + 1));
        EXPECT_EQ(QueueEntry::parse(company.messages[i].value).message,
                  "page " + QByteArray::number(i + 1));
    }
}

// A section that occurs twice (hand-edited, or put together after a crash) is one company:
// the messages of every copy in file order, each line its own page, and the first entry of each
// line setting. Emptying it removes each message line alone and then every copy, only once no
// copy holds a message.
TEST_F(QueueReadingTest, DuplicateSectionsAreOneCompanyReadAndEmptiedWhole)
{
    const QByteArray other = "[5559876]\r\nLength=80\r\nMSG1=*MSG*other*PIN*9*USR*h*ID*i\r\n";
    dir.write(QStringLiteral("Message.Dat"),
              "[5551234]\r\n" + other +
                  "[5551234]\r\nPassword=pw\r\nLength=120\r\nParity=1\r\nDataBits=3\r\n"
                  "StopBits=2\r\nMSG1=a\r\nMSG2=\r\n"
                  "[ 5551234 ]\r\nLength=60\r\nMSG1=b\r\nmsg1=c\r\nMSG1=a\r\n");

    EXPECT_EQ(queue().sectionNames(), (QList<QByteArray>{"5551234", "5559876"}));
    EXPECT_EQ(queue().countMessages(), 5);
    const QueuedCompany company = queue().readCompany("5551234");
    ASSERT_EQ(values(company), (QList<QByteArray>{"a", "b", "c", "a"}));
    EXPECT_EQ(company.text("Length", "80"), "120");
    EXPECT_EQ(company.text("password", ""), "pw");
    EXPECT_EQ(company.number("Parity", 2), 1);
    EXPECT_EQ(company.number("DataBits", 2), 3);
    EXPECT_EQ(company.number("StopBits", 0), 2);
    EXPECT_EQ(company.text("Missing", "d"), "d");
    EXPECT_EQ(company.lineSettings(), (CompanyLineSettings{"pw", 120, 1, 3, 2}));

    MessageQueueFile file = queue();
    ASSERT_TRUE(file.removeMessage("5551234", company.messages[0]));
    EXPECT_EQ(values(file.readCompany("5551234")), (QList<QByteArray>{"b", "c", "a"}));
    ASSERT_TRUE(file.removeMessage("5551234", company.messages[1]));
    ASSERT_TRUE(file.removeMessage("5551234", company.messages[3]));
    EXPECT_FALSE(file.removeMessage("5551234", company.messages[3])) << "no second line of it";
    EXPECT_FALSE(file.removeSectionIfEmpty("5551234")) << "c is still queued";
    EXPECT_EQ(file.countMessages(), 2);
    ASSERT_TRUE(file.removeMessage("5551234", company.messages[2]));
    EXPECT_TRUE(file.removeSectionIfEmpty("5551234"));
    EXPECT_EQ(content(), other);
}

// The line settings a run dials a company with: what its section names, the defaults for what it
// does not name, and nothing when a port could not be set from them.
TEST_F(QueueReadingTest, LineSettingsTakeTheirDefaultsAndNothingNoPortKnows)
{
    struct Case
    {
        QByteArray settings;
        std::optional<CompanyLineSettings> expected;
    };
    const Case cases[] = {
        {"", CompanyLineSettings{"", 80, 2, 2, 0}},
        {"Password=pw\r\nLength=$50\r\nParity=0x4\r\nDataBits=0\r\nStopBits=1\r\n",
         CompanyLineSettings{"pw", 80, 4, 0, 1}},
        // A code that is no number is read as its default, as the store reads numbers.
        {"Parity=odd\r\nDataBits=\r\n", CompanyLineSettings{"", 80, 2, 2, 0}},
        {"Length=80x\r\n", std::nullopt},
        {"Length=\r\n", std::nullopt},
        {"Parity=5\r\n", std::nullopt},
        {"DataBits=4\r\n", std::nullopt},
        {"DataBits=-1\r\n", std::nullopt},
        {"StopBits=3\r\n", std::nullopt},
    };
    for (const Case& c : cases) {
        dir.write(QStringLiteral("Message.Dat"), "[555]\r\n" + c.settings + "MSG1=x\r\n");
        EXPECT_EQ(queue().readCompany("555").lineSettings(), c.expected) << c.settings.data();
    }
}

// A model of a queue file with repeated sections in mixed letter case, message keys that repeat
// and texts that look like keys or headers: what is read is what the model holds, and emptying
// one company leaves every other line as it was.
TEST_F(QueueReadingTest, ReadingAndEmptyingFollowAModelOfTheFile)
{
    struct Entry
    {
        QByteArray key;
        QByteArray value;
    };
    struct Section
    {
        QByteArray name;
        QList<Entry> entries;
    };
    const QList<QByteArray> names{"555abc", "555ABC", "777", " 777", "18005550000"};
    const QList<QByteArray> settingKeys{"Password", "Length", "Parity", "Note"};
    const auto folded = [](const QByteArray& name) { return name.trimmed().toLower(); };
    const auto render = [](const QList<Section>& sections) {
        QByteArray text;
        for (const Section& section : sections) {
            text += '[' + section.name + "]\r\n";
            for (const Entry& entry : section.entries)
                text += entry.key + '=' + entry.value + "\r\n";
        }
        return text;
    };

    for (quint32 seed = 1; seed <= 40; ++seed) {
        QRandomGenerator random(seed);
        QList<Section> model;
        for (int s = random.bounded(1, 9); s > 0; --s) {
            Section section{names.at(random.bounded(names.size())), {}};
            for (int e = random.bounded(0, 7); e > 0; --e) {
                const QByteArray n = QByteArray::number(random.bounded(1, 4));
                const QByteArray value =
                    random.bounded(5) == 0
                        ? QByteArray()
                        : "*MSG*x=[y] MSG" + n + "=z " + QByteArray::number(random.generate());
                if (random.bounded(3) == 0)
                    section.entries.append({settingKeys.at(random.bounded(4)), value});
                else
                    section.entries.append({(random.bounded(2) ? "MSG" : "msg") + n, value});
            }
            model.append(section);
        }
        dir.write(QStringLiteral("Message.Dat"), render(model));

        int total = 0;
        QHash<QByteArray, QList<QByteArray>> expected;
        for (const Section& section : model) {
            for (const Entry& entry : section.entries) {
                if (entry.key.toUpper().startsWith("MSG") && !entry.value.isEmpty()) {
                    expected[folded(section.name)].append(entry.value);
                    ++total;
                }
            }
        }
        MessageQueueFile file = queue();
        ASSERT_EQ(file.countMessages(), total) << "seed " << seed;
        QSet<QByteArray> listed;
        for (const QByteArray& name : file.sectionNames()) {
            EXPECT_FALSE(listed.contains(folded(name))) << "listed twice: " << name.constData();
            listed.insert(folded(name));
            EXPECT_EQ(values(file.readCompany(name)), expected.value(folded(name)))
                << "seed " << seed << ", " << name.constData();
        }

        // Empty the first section's company in a random order of its messages.
        const QByteArray target = model.first().name;
        QList<QueuedCompany::Message> messages = file.readCompany(target).messages;
        while (!messages.isEmpty()) {
            const QueuedCompany::Message message = messages.takeAt(random.bounded(messages.size()));
            ASSERT_TRUE(file.removeMessage(target, message)) << "seed " << seed;
        }
        ASSERT_TRUE(file.removeSectionIfEmpty(target)) << "seed " << seed;
        QList<Section> rest;
        for (const Section& section : std::as_const(model)) {
            if (folded(section.name) != folded(target))
                rest.append(section);
        }
        EXPECT_EQ(content(), render(rest)) << "seed " << seed;
    }
}

} // namespace
