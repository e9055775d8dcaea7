#include "queue/queueentry.h"

#include <gtest/gtest.h>

namespace {

QueueEntry entry(const char* message, const char* signature, const char* pin, const char* sender,
                 const char* addressee)
{
    return QueueEntry{message, signature, pin, sender, addressee};
}

TEST(QueueEntry, FormatsWithAndWithoutSignature)
{
    EXPECT_EQ(
        entry("Call the front desk", "Reception", "1234", "192.168.1.20", "Pat").format(),
        QByteArray("*MSG*Call the front desk*SIG*Reception*PIN*1234*USR*192.168.1.20*ID*Pat"));
    EXPECT_EQ(entry("Hi", "", "77", "10.0.0.1", "Lee").format(),
              QByteArray("*MSG*Hi*PIN*77*USR*10.0.0.1*ID*Lee"));
    EXPECT_EQ(entry("", "", "", "", "").format(), QByteArray("*MSG**PIN**USR**ID*"));
}

TEST(QueueEntry, ParseReadsBackWhatFormatWrote)
{
    const QueueEntry cases[] = {
        entry("Call the front desk", "Reception", "1234", "192.168.1.20", "Pat"),
        entry("No signature", "", "5", "10.1.1.1", "Ann Other"),
        entry("", "", "", "", ""),
        entry("", "sig only", "9", "", ""),
        entry("a = b [c]", "x", "1 2", "h", "ID with blanks"),
    };
    for (const QueueEntry& e : cases)
        EXPECT_EQ(QueueEntry::parse(e.format()), e) << e.format().toStdString();
}

TEST(QueueEntry, ParseSplitsAtFirstMarkersAsCallProcessingDoes)
{
    // A "*PIN*" inside a signed message stays in the message: the message ends at "*SIG*".
    QueueEntry e = QueueEntry::parse("*MSG*a*PIN*b*SIG*s*PIN*p*USR*u*ID*i");
    EXPECT_EQ(e, entry("a*PIN*b", "s", "p", "u", "i"));

    // Without a signature the message ends at the first "*PIN*"; later markers fall into the
    // following fields.
    e = QueueEntry::parse("*MSG*m*PIN*p*PIN*q*USR*u*ID*i*ID*j");
    EXPECT_EQ(e, entry("m", "", "p*PIN*q", "u", "i*ID*j"));

    // The first five characters are dropped whatever they hold.
    e = QueueEntry::parse("XXXXXm*PIN*p*USR*u*ID*i");
    EXPECT_EQ(e, entry("m", "", "p", "u", "i"));
}

TEST(QueueEntry, ParseOfDamagedValuesNeverInventsText)
{
    EXPECT_EQ(QueueEntry::parse(""), entry("", "", "", "", ""));
    EXPECT_EQ(QueueEntry::parse("*MSG*"), entry("", "", "", "", ""));
    EXPECT_EQ(QueueEntry::parse("*MSG*only text"), entry("only text", "", "", "", ""));
    EXPECT_EQ(QueueEntry::parse("*MSG*m*PIN*p"), entry("m", "", "p", "", ""));
    EXPECT_EQ(QueueEntry::parse("*MSG*m*SIG*s"), entry("m", "s", "", "", ""));
    EXPECT_EQ(QueueEntry::parse("*MSG*m*PIN*p*ID*i"), entry("m", "", "p*ID*i", "", ""));
}

TEST(QueueEntry, HoldsMarkerFindsEveryMarker)
{
    for (const char* text : {"a*MSG*", "*SIG*b", "x*PIN*y", "*USR*", "z*ID*"})
        EXPECT_TRUE(QueueEntry::holdsMarker(text)) << text;
    for (const char* text : {"", "plain text", "*MSG", "*ID", "**", "*id*"})
        EXPECT_FALSE(QueueEntry::holdsMarker(text)) << text;
}

} // namespace
