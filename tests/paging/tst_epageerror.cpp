#include "paging/epageerror.h"

#include <gtest/gtest.h>

namespace {

using Code = EPageError::Code;

// The numbers and texts are what logs and operators have always seen: a renumbered or
// reworded code would change both.
TEST(PageErrorCodes, KeepTheirNumbersAndTexts)
{
    struct Row
    {
        Code code;
        int number;
        QByteArray text;
    };
    const Row rows[] = {
        {Code::NoResponse, 0, "No Response From Terminal!"},
        {Code::ResendRequested, 1, "Resend Requested!"},
        {Code::LogonRefused, 2, "Logon Denyed!"},
        {Code::ChecksumFailed, 3, "Message Faild Checksum!"},
        {Code::InvalidId, 4, "Invalid ID Or Bad Link!"},
        {Code::ConnectionLost, 5, "Connection Lost!"},
        {Code::TerminalDisconnected, 6, "Terminal Disconnected!"},
        {Code::NoMessage, 8, "No Message To Send!"},
        {Code::NoProvider, 9, "No Provider Number!"},
        {Code::NoPin, 10, "No Pin Number!"},
        {Code::ComportError, 12, "Comport Error!"},
        {Code::ModemInitFailed, 13, "Error Initalizing Modem!"},
        {Code::ConnectionFailed, 15, "Connection Failed!"},
        {Code::LogonFailure, 16, "Logon Failure!"},
        {Code::LogonDenied, 17, "Logon Denied!"},
        {Code::TerminalHungUp, 18, "Terminal Disconnected!"},
        {Code::NoCarrier, 20, "No Carrier!"},
        {Code::LineBusy, 21, "Line Busy!"},
        {Code::NoDialTone, 22, "No Dial Tone!"},
        {Code::NoAnswer, 23, "No Answer!"},
        {Code::VoiceConnection, 24, "Voice Connection!"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        EXPECT_EQ(static_cast<int>(row.code), row.number);
        const EPageError error(row.code);
        EXPECT_EQ(error.message(), row.text);
        EXPECT_EQ(error.code(), row.code);
        EXPECT_EQ(error.terminalDisconnected(), row.number == 6 || row.number == 18);
    }
    for (const int number : {-1, 7, 11, 14, 19, 25, 1000}) {
        SCOPED_TRACE(number);
        const EPageError error(static_cast<Code>(number));
        EXPECT_EQ(error.message(), QByteArray("Unknown Error!"));
        EXPECT_FALSE(error.terminalDisconnected());
    }
}

} // namespace
