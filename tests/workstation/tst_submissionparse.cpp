#include "intake/submissioncheck.h"
#include "queue/queuesubmission.h"
#include "workstation/submissionblock.h"
#include "workstation/submissioncommand.h"

#include <gtest/gtest.h>

using Verb = SubmissionCommand::Verb;

namespace {

struct CommandCase
{
    const char* text;
    Verb verb;
    const char* argument;
};

struct LinesCase
{
    QByteArray text;
    QList<QByteArray> lines;
};

SubmissionBlock soundBlock()
{
    SubmissionBlock block;
    block.message = "Call the front desk";
    block.signature = "Reception";
    block.pin = "1234567";
    block.id = "Pat";
    block.accessNumber = "5551234567";
    block.length = "80";
    block.parity = "2";
    block.dataBits = "2";
    block.stopBits = "0";
    return block;
}

} // namespace

TEST(SubmissionCommand, WordIsFirstFourCharactersAndArgumentStartsAtTheSixth)
{
    const CommandCase cases[] = {
        {"HELO 192.168.1.20", Verb::Helo, "192.168.1.20"},
        {"PAGE (555) 123-4567", Verb::Page, "(555) 123-4567"},
        {"DATA", Verb::Data, ""},
        {"DONE", Verb::Done, ""},
        // Letter case counts, and short texts name no command.
        {"helo 10.0.0.1", Verb::Unknown, "10.0.0.1"},
        {"Data", Verb::Unknown, ""},
        {"HEL", Verb::Unknown, ""},
        {"", Verb::Unknown, ""},
        // Nothing is stripped: a line end stays part of the argument.
        {"HELO 10.1.1.5\r\n", Verb::Helo, "10.1.1.5\r\n"},
        // Any separator character is dropped, not only a blank.
        {"HELOx10.1.1.5", Verb::Helo, "10.1.1.5"},
        {"HELO", Verb::Helo, ""},
        {"HELO ", Verb::Helo, ""},
        // Two commands sent back to back are one: the first word decides.
        {"HELO 10.0.0.1PAGE 555", Verb::Helo, "10.0.0.1PAGE 555"},
        {"DONEDATA", Verb::Done, "ATA"},
    };
    for (const CommandCase& c : cases) {
        const SubmissionCommand command = SubmissionCommand::parse(c.text);
        EXPECT_EQ(command.verb, c.verb) << "command text: " << c.text;
        EXPECT_EQ(command.argument, QByteArray(c.argument)) << "command text: " << c.text;
    }
}

TEST(SubmissionBlock, LinesSplitAtCrLfOrCrLfAndEndAtAZeroByte)
{
    const LinesCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        // LF then CR are two line ends.
        {"a\n\rb", {"a", "", "b"}},
        {QByteArray("a\r\nb\0c\r\nd", 9), {"a", "b"}},
        {QByteArray("\0a", 2), {}},
    };
    for (const LinesCase& c : cases)
        EXPECT_EQ(SubmissionBlock::splitLines(c.text), c.lines) << "text: " << c.text.toStdString();
}

TEST(SubmissionBlock, ReadsTheWorkedExampleFields)
{
    const SubmissionBlock block = SubmissionBlock::fromText(
        "MSG: Call the front desk\r\nSIG: Reception\r\nPIN: 1234567\r\nID: Pat\r\n"
        "AN: 5551234567\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0");
    EXPECT_EQ(block.message, "Call the front desk");
    EXPECT_EQ(block.signature, "Reception");
    EXPECT_EQ(block.pin, "1234567");
    EXPECT_EQ(block.id, "Pat");
    EXPECT_EQ(block.accessNumber, "5551234567");
    EXPECT_EQ(block.password, "");
    EXPECT_EQ(block.length, "80");
    EXPECT_EQ(block.parity, "2");
    EXPECT_EQ(block.dataBits, "2");
    EXPECT_EQ(block.stopBits, "0");
}

TEST(SubmissionBlock, FieldComesFromTheFirstLineContainingTheKeyAnywhere)
{
    const QList<QByteArray> lines = {"MSG: ring PIN: now", "PIN: 42", "XID: 7", "SIG:"};
    // The message line contains "PIN:", so the PIN is that line cut after five characters.
    EXPECT_EQ(SubmissionBlock::fieldValue(lines, "PIN:"), "ring PIN: now");
    // "ID:" is found inside "XID:" and cut after four characters.
    EXPECT_EQ(SubmissionBlock::fieldValue(lines, "ID:"), " 7");
    // A key with nothing after it, and a key no line holds, give the empty value.
    EXPECT_EQ(SubmissionBlock::fieldValue(lines, "SIG:"), "");
    EXPECT_EQ(SubmissionBlock::fieldValue(lines, "AN:"), "");
    // Letter case counts.
    EXPECT_EQ(SubmissionBlock::fieldValue({"msg: hi"}, "MSG:"), "");
    // The separator may be any character.
    EXPECT_EQ(SubmissionBlock::fieldValue({"MSG:=hi"}, "MSG:"), "hi");
}

// The block's texts read into the queue's record, then the checks every page passes.
TEST(SubmissionBlock, SoundBlockPassesAndEachBadFieldGivesItsReason)
{
    EXPECT_FALSE(
        SubmissionCheck::rejectionReason(soundBlock().toSubmission("10.0.0.1")).has_value());

    struct Case
    {
        QByteArray SubmissionBlock::*field;
        QByteArray value;
        const char* reason; // nullptr: accepted
    };
    const Case cases[] = {
        // A length of 1 is a length, but no text can be sent at it: the page is refused as the
        // engine would refuse it at the call.
        {&SubmissionBlock::length, "1", "Message Too Long"},
        {&SubmissionBlock::length, "9999", nullptr},
        {&SubmissionBlock::length, "0", "Invalid Length"},
        {&SubmissionBlock::length, "10000", "Invalid Length"},
        {&SubmissionBlock::length, "", "Invalid Length"},
        {&SubmissionBlock::length, "80x", "Invalid Length"},
        {&SubmissionBlock::length, "-5", "Invalid Length"},
        {&SubmissionBlock::parity, "4", nullptr},
        {&SubmissionBlock::parity, "0", nullptr},
        {&SubmissionBlock::parity, "5", "Invalid Parity"},
        {&SubmissionBlock::parity, "", "Invalid Parity"},
        {&SubmissionBlock::parity, "even", "Invalid Parity"},
        {&SubmissionBlock::dataBits, "3", nullptr},
        {&SubmissionBlock::dataBits, "4", "Invalid Data Bits"},
        {&SubmissionBlock::dataBits, "-1", "Invalid Data Bits"},
        {&SubmissionBlock::stopBits, "2", nullptr},
        {&SubmissionBlock::stopBits, "3", "Invalid Stop Bits"},
        {&SubmissionBlock::stopBits, "1.5", "Invalid Stop Bits"},
        {&SubmissionBlock::message, "see *PIN* 99", "Field Holds A Queue Marker"},
        {&SubmissionBlock::signature, "*SIG*", "Field Holds A Queue Marker"},
        {&SubmissionBlock::id, "Pat*USR*", "Field Holds A Queue Marker"},
        {&SubmissionBlock::pin, "12*ID*", "Field Holds A Queue Marker"},
        {&SubmissionBlock::message, "*MSG*", "Field Holds A Queue Marker"},
        // No whole marker in any field, but one forms where the message meets "*SIG*".
        {&SubmissionBlock::message, "x*SIG", "Field Holds A Queue Marker"},
        // Markers are exact: other spellings and lone stars are ordinary text.
        {&SubmissionBlock::message, "*msg* and * stars *", nullptr},
        {&SubmissionBlock::pin, QByteArray("12\x1b", 3), "Invalid PIN"},
        {&SubmissionBlock::pin, QByteArray("12\t3"), "Invalid PIN"},
        {&SubmissionBlock::pin, QByteArray("12\x7f"), "Invalid PIN"},
        // Sent raw: on a 7-bit line 0x83 would reach the terminal as ETX.
        {&SubmissionBlock::pin, QByteArray("12\x83"), "Invalid PIN"},
        {&SubmissionBlock::password, QByteArray("pw\x9b"), "Invalid Password"},
        // An empty PIN pages nobody.
        {&SubmissionBlock::pin, "", "Invalid PIN"},
        // The password and the addressee take no control characters either.
        {&SubmissionBlock::password, QByteArray("pw\r1"), "Invalid Password"},
        {&SubmissionBlock::password, QByteArray("\x1bPG1", 4), "Invalid Password"},
        {&SubmissionBlock::password, "", nullptr},
        {&SubmissionBlock::id, QByteArray("\x03\x04\x1bX"), "Invalid ID"},
        // The addressee is only shown and stored: a Latin-1 name stays as it is.
        {&SubmissionBlock::id, QByteArray("Jos\xe9"), nullptr},
        // The length is plain decimal digits only.
        {&SubmissionBlock::length, "0x50", "Invalid Length"},
        {&SubmissionBlock::length, "$50", "Invalid Length"},
        {&SubmissionBlock::length, "+80", "Invalid Length"},
        {&SubmissionBlock::length, " 80", "Invalid Length"},
        {&SubmissionBlock::length, "80 ", "Invalid Length"},
        {&SubmissionBlock::length, "0080", nullptr},
        // Other fields may carry control characters; the message is escaped on the line.
        {&SubmissionBlock::message, "tab\there", nullptr},
    };
    for (const Case& c : cases) {
        SubmissionBlock block = soundBlock();
        block.*c.field = c.value;
        const std::optional<QByteArray> reason =
            SubmissionCheck::rejectionReason(block.toSubmission("10.0.0.1"));
        if (c.reason)
            EXPECT_EQ(reason.value_or("accepted"), QByteArray(c.reason)) << c.value.toStdString();
        else
            EXPECT_FALSE(reason.has_value()) << c.value.toStdString() << " gave " << reason->data();
    }
}

// The texts become the record's numbers as the queue stores them. A text that is no number is
// refused naming its field, but only where the checks come to that field: a block with two bad
// fields names the one it always named.
TEST(SubmissionBlock, ReadsItsTextsIntoTheQueuesRecordAndKeepsTheOrderOfRefusals)
{
    SubmissionBlock block = soundBlock();
    block.password = "pw";
    block.length = "0080";
    block.parity = "$4";
    block.dataBits = "0x3";
    block.stopBits = " 1";
    const QueueSubmission page = block.toSubmission("10.0.0.7");
    EXPECT_EQ(page.accessNumber, "5551234567");
    EXPECT_EQ(page.settings, (CompanyLineSettings{"pw", 80, 4, 3, 1}));
    EXPECT_EQ(page.entry,
              (QueueEntry{"Call the front desk", "Reception", "1234567", "10.0.0.7", "Pat"}));

    struct Case
    {
        QByteArray SubmissionBlock::*first;
        QByteArray firstValue;
        QByteArray SubmissionBlock::*second;
        QByteArray secondValue;
        const char* reason;
    };
    const Case cases[] = {
        {&SubmissionBlock::message, "x*PIN*", &SubmissionBlock::parity, "even",
         "Field Holds A Queue Marker"},
        {&SubmissionBlock::pin, "", &SubmissionBlock::length, "eighty", "Invalid PIN"},
        {&SubmissionBlock::password, "\x1b", &SubmissionBlock::stopBits, "", "Invalid Password"},
        {&SubmissionBlock::id, "\x03", &SubmissionBlock::dataBits, "x", "Invalid ID"},
        {&SubmissionBlock::length, "80x", &SubmissionBlock::parity, "9", "Invalid Length"},
        {&SubmissionBlock::parity, "", &SubmissionBlock::dataBits, "7", "Invalid Parity"},
        {&SubmissionBlock::dataBits, "-", &SubmissionBlock::message, QByteArray(2000, 'm'),
         "Invalid Data Bits"},
    };
    for (const Case& c : cases) {
        block = soundBlock();
        block.*c.first = c.firstValue;
        block.*c.second = c.secondValue;
        EXPECT_EQ(
            SubmissionCheck::rejectionReason(block.toSubmission("10.0.0.7")).value_or("accepted"),
            QByteArray(c.reason))
            << c.firstValue.toStdString() << " / " << c.secondValue.left(20).toStdString();
    }
}

// Whether a first part of a block may be served at once or waits for the rest.
TEST(SubmissionBlock, MayBeWholeOnlyInWholeGroupsWithEveryNeededField)
{
    const QByteArray worked =
        "MSG: Call the front desk\r\nSIG: Reception\r\nPIN: 1234567\r\nID: "
        "Pat\r\nAN: 5551234567\r\nLENGTH: 80\r\nPARITY: 2\r\nDATA: 2\r\nSTOP: 0";
    const QByteArray encoded = worked.toBase64();
    EXPECT_TRUE(SubmissionBlock::mayBeWhole(encoded));
    // With these fields in this order no part of the block can pass for the whole.
    for (qsizetype n = 0; n < encoded.size(); ++n)
        EXPECT_FALSE(SubmissionBlock::mayBeWhole(encoded.left(n))) << "first " << n;

    // Characters outside the alphabet do not count towards the groups (line breaks of a MIME
    // encoder, a trailing line end).
    QByteArray broken = encoded;
    for (qsizetype at = 76; at < broken.size(); at += 78)
        broken.insert(at, "\r\n");
    EXPECT_TRUE(SubmissionBlock::mayBeWhole(broken + "\r\n"));

    // Each field a page needs, missing or empty; the others may be left out.
    for (const char* key : {"PIN:", "AN:", "LENGTH:", "PARITY:", "DATA:", "STOP:"}) {
        QList<QByteArray> without;
        QList<QByteArray> empty;
        for (const QByteArray& line : worked.split('\n')) {
            const QByteArray field = line.endsWith('\r') ? line.chopped(1) : line;
            if (!field.startsWith(key))
                without.append(field);
            empty.append(field.startsWith(key) ? QByteArray(key) : field);
        }
        EXPECT_FALSE(SubmissionBlock::mayBeWhole(without.join("\r\n").toBase64())) << key;
        EXPECT_FALSE(SubmissionBlock::mayBeWhole(empty.join("\r\n").toBase64())) << key;
    }
    EXPECT_TRUE(SubmissionBlock::mayBeWhole(
        QByteArray("PIN: 1\r\nAN: 5\r\nLENGTH: 80\r\nPARITY: 0\r\nDATA: 3\r\nSTOP: 0").toBase64()));
}
