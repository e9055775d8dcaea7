#include "queue/messagequeuefile.h"

#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

class MessageQueueFileTest : public ::testing::Test
{
protected:
    TempDataDir dir;
    QString path() const { return dir.file(QStringLiteral("Message.Dat")); }
    QByteArray content() const { return dir.read(QStringLiteral("Message.Dat")); }

    // The key search as a series of single reads, which the one-read search must agree with.
    std::optional<qint32> freeKeyByReads(const QByteArray& section) const
    {
        TIniFile ini(path());
        for (qint32 n = 1; n <= MessageQueueFile::MaxMessageNumber; ++n) {
            if (ini.ReadText(section, MessageQueueFile::messageKey(n), QByteArray()).isEmpty())
                return n;
        }
        return std::nullopt;
    }

    std::optional<qint32> freeKey(const QByteArray& section) const
    {
        return MessageQueueFile(path()).nextFreeMessageKey(section);
    }

    static CompanyLineSettings settings(qint32 length, qint32 parity, qint32 dataBits,
                                        qint32 stopBits, const char* password = "")
    {
        return {password, length, parity, dataBits, stopBits};
    }
};

TEST_F(MessageQueueFileTest, SubmissionsForOneNumberShareASectionWithTheLatestSettings)
{
    MessageQueueFile queue(path());
    const QueueEntry first{"one", "sig", "111", "10.0.0.5", "Pat"};
    const QueueEntry second{"two", "", "222", "10.0.0.6", "Lee"};
    queue.writeSubmission({"5551234567", settings(80, 2, 2, 0), first},
                          *queue.nextFreeMessageKey("5551234567"));
    queue.writeSubmission({"5551234567", settings(120, 1, 3, 2, "pw"), second},
                          *queue.nextFreeMessageKey("5551234567"));
    EXPECT_EQ(content(), QByteArray("[5551234567]\r\n"
                                    "Password=pw\r\n"
                                    "Length=120\r\n"
                                    "Parity=1\r\n"
                                    "DataBits=3\r\n"
                                    "StopBits=2\r\n"
                                    "MSG1=*MSG*one*SIG*sig*PIN*111*USR*10.0.0.5*ID*Pat\r\n"
                                    "MSG2=*MSG*two*PIN*222*USR*10.0.0.6*ID*Lee\r\n"));
}

TEST_F(MessageQueueFileTest, SectionsKeepTheOrderInWhichNumbersFirstArrived)
{
    MessageQueueFile queue(path());
    const QueueEntry e{"m", "", "1", "h", "i"};
    for (const char* number : {"(555) 123-4567", "777", "(555) 123-4567"})
        queue.writeSubmission({number, settings(80, 2, 2, 0), e},
                              *queue.nextFreeMessageKey(number));
    QList<QByteArray> sections;
    ListSections(path(), sections);
    EXPECT_EQ(sections, (QList<QByteArray>{"(555) 123-4567", "777"}));
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadText("(555) 123-4567", "MSG2", ""), e.format());
    EXPECT_EQ(ini.ReadText("777", "MSG1", ""), e.format());
    EXPECT_EQ(ini.ReadText("777", "MSG2", "none"), QByteArray("none"));
}

TEST_F(MessageQueueFileTest, TestMessageLayoutAndALaterSubmissionToItsSection)
{
    MessageQueueFile queue(path());
    queue.writeTestMessage("5550000", *queue.nextFreeMessageKey("5550000"), "4321");
    EXPECT_EQ(content(),
              QByteArray("[5550000]\r\n"
                         "Length=140\r\n"
                         "Parity=2\r\n"
                         "DataBits=2\r\n"
                         "StopBits=0\r\n"
                         "MSG1=*MSG*Zelkor LAN Server Test*PIN*4321*USR*0.0.0.127*ID*Torvex LAN "
                         "Server\r\n"));

    // A second test message takes the next free key instead of replacing the queued one.
    queue.writeTestMessage("5550000", *queue.nextFreeMessageKey("5550000"), "99");
    // The protocol's password key is new to this section, so it goes after the messages.
    queue.writeSubmission({"5550000", settings(80, 0, 3, 0, "secret"), {"x", "", "5", "h", "i"}},
                          *queue.nextFreeMessageKey("5550000"));
    QList<QByteArray> keys;
    TIniFile(path()).ReadKeys("5550000", keys);
    EXPECT_EQ(keys, (QList<QByteArray>{"Length", "Parity", "DataBits", "StopBits", "MSG1", "MSG2",
                                       "Password", "MSG3"}));
    EXPECT_EQ(TIniFile(path()).ReadText("5550000", "MSG2", ""),
              MessageQueueFile::testEntry("99").format());
    EXPECT_EQ(TIniFile(path()).ReadText("5550000", "Length", ""), QByteArray("80"));
}

TEST_F(MessageQueueFileTest, FreeKeySearchMatchesKeyByKeyReads)
{
    EXPECT_EQ(freeKey("555"), 1) << "no file yet";
    dir.write(QStringLiteral("Message.Dat"), "[other]\r\n"
                                             "MSG1=a\r\n"
                                             "[ 555 ]\r\n"
                                             "Password=\r\n"
                                             "msg1=x\r\n"
                                             "MSG02=y\r\n" // not read back as MSG2
                                             "MSG3=z\r\n"
                                             "MSG1=dup\r\n" // a second MSG1 is never read
                                             "\r\n"
                                             "[555]\r\n" // a second section of that name
                                             "MSG2=hidden\r\n");
    EXPECT_EQ(freeKey("555"), 2);
    EXPECT_EQ(freeKey("555"), freeKeyByReads("555"));
    EXPECT_EQ(freeKey("OTHER"), 2);
    EXPECT_EQ(freeKey("missing"), 1);

    // A key with an empty value is free again.
    dir.write(QStringLiteral("Message.Dat"), "[555]\r\nMSG1=\r\nMSG2=b\r\n");
    EXPECT_EQ(freeKey("555"), 1);
    EXPECT_EQ(freeKey("555"), freeKeyByReads("555"));
}

TEST_F(MessageQueueFileTest, AFullSectionHasNoFreeKey)
{
    QByteArray text = "[555]\r\nPassword=\r\n";
    for (qint32 n = 1; n <= 9999; ++n) {
        if (n != 4711)
            text += MessageQueueFile::messageKey(n) + "=m\r\n";
    }
    text += "MSG10000=beyond the last key\r\n";
    dir.write(QStringLiteral("Message.Dat"), text);
    EXPECT_EQ(freeKey("555"), 4711);

    TIniFile(path()).WriteText("555", "MSG4711", "m");
    EXPECT_EQ(freeKey("555"), std::nullopt);
    EXPECT_EQ(freeKey("556"), 1);
}

TEST_F(MessageQueueFileTest, SeveralSubmissionsGetKeysOfTheirOwnInOneWriteOrNoneAtAll)
{
    dir.write(QStringLiteral("Message.Dat"), "[555]\r\nMSG1=old\r\nMSG3=old\r\n");
    const QueueEntry entry{"m", "", "1", "10.0.0.5", "Pat"};
    const CompanyLineSettings line = settings(80, 2, 2, 0);
    MessageQueueFile queue(path());
    EXPECT_EQ(queue.writeSubmissions({{"555", line, entry},
                                      {"777", line, entry},
                                      {" 555 ", line, entry},
                                      {"555", line, entry}}),
              (QList<qint32>{2, 1, 4, 5}));
    EXPECT_EQ(freeKeyByReads("555"), 6);
    EXPECT_EQ(freeKeyByReads("777"), 2);

    // One submission too many for a section: nothing of the others is written either.
    QByteArray full = "[556]\r\n";
    for (qint32 n = 2; n <= MessageQueueFile::MaxMessageNumber; ++n)
        full += MessageQueueFile::messageKey(n) + "=m\r\n";
    dir.write(QStringLiteral("Message.Dat"), full);
    EXPECT_FALSE(
        queue.writeSubmissions({{"557", line, entry}, {"556", line, entry}, {"556", line, entry}}));
    EXPECT_EQ(content(), full);
}

TEST_F(MessageQueueFileTest, MessageKeysAreMsgAndADecimalNumber)
{
    EXPECT_EQ(MessageQueueFile::messageKey(1), QByteArray("MSG1"));
    EXPECT_EQ(MessageQueueFile::messageKey(10000), QByteArray("MSG10000"));
    EXPECT_EQ(MessageQueueFile::messageNumber("MSG1"), 1);
    EXPECT_EQ(MessageQueueFile::messageNumber("msg42"), 42);
    EXPECT_EQ(MessageQueueFile::messageNumber("MSG007"), 7);
    for (const char* key : {"MSG", "MSG-1", "MSG1a", "Password", "XMSG1", "MSG 1", ""})
        EXPECT_EQ(MessageQueueFile::messageNumber(key), std::nullopt) << key;
}

TEST_F(MessageQueueFileTest, RemoveDeletesTheFileAndAcceptsAMissingOne)
{
    MessageQueueFile queue(path());
    EXPECT_TRUE(queue.remove());
    queue.writeTestMessage("1", 1, "2");
    EXPECT_TRUE(queue.exists());
    EXPECT_TRUE(queue.remove());
    EXPECT_FALSE(dir.exists(QStringLiteral("Message.Dat")));
}

// The count of a queue left at start-up must be what a run takes from the file: delivered
// pages are removed key by key, an emptied key holds no page, and message texts that look like
// keys or sections are no messages of their own.
TEST_F(MessageQueueFileTest, CountedMessagesAreTheKeysARunWouldSend)
{
    MessageQueueFile queue(path());
    EXPECT_EQ(queue.countMessages(), 0);
    QRandomGenerator random(7);
    qint32 expected = 0;
    const QList<QByteArray> sections{"5551234", "5559876", "18005550000"};
    for (int i = 0; i < 60; ++i) {
        const QByteArray section = sections.at(random.bounded(sections.size()));
        const QueueEntry entry{"MSG7=x [y] MSG" + QByteArray::number(i), "", "1", "h", "i"};
        queue.writeSubmission({section, settings(80, 2, 2, 0), entry},
                              *queue.nextFreeMessageKey(section));
        ++expected;
    }
    TIniFile ini(path());
    for (const QByteArray& section : sections) {
        QList<QByteArray> keys;
        ini.ReadKeys(section, keys);
        for (const QByteArray& key : std::as_const(keys)) {
            if (!MessageQueueFile::messageNumber(key) || random.bounded(3) != 0)
                continue;
            if (random.bounded(2) == 0)
                ini.DeleteKey(section, key);
            else
                ini.WriteText(section, key, QByteArray());
            --expected;
        }
    }
    EXPECT_EQ(queue.countMessages(), expected);
    EXPECT_GT(expected, 0);
}

} // namespace
