#pragma once

#include "foundation/errors.h"

// The paging engine's failure. Created from a code that selects the operator's text.
class EPageError final : public EZelkorError
{
public:
    // The engine's failure codes. The numbers are part of what operators and logs have seen
    // for years and are kept as they are; two codes share the text "Terminal Disconnected!".
    enum class Code : int {
        NoResponse = 0,
        ResendRequested = 1,      // not raised
        LogonRefused = 2,         // the terminal kept refusing the log-on
        ChecksumFailed = 3,       // a block still failed its checksum after the last resend
        InvalidId = 4,            // the terminal rejected the pager ID
        ConnectionLost = 5,       // not raised
        TerminalDisconnected = 6, // not raised
        NoMessage = 8,
        NoProvider = 9,
        NoPin = 10,
        ComportError = 12,
        ModemInitFailed = 13,
        ConnectionFailed = 15,
        LogonFailure = 16,
        LogonDenied = 17,
        TerminalHungUp = 18, // the terminal ended the call after a block
        NoCarrier = 20,
        LineBusy = 21,
        NoDialTone = 22,
        NoAnswer = 23,
        VoiceConnection = 24,
    };

    explicit EPageError(Code code);
    // A failure whose text comes from the far end (a carrier's own error code and text)
    // rather than from the code's table; the code still decides what becomes of the message.
    EPageError(Code code, const QByteArray& message);

    Code code() const { return m_code; }
    // True for either code that means the terminal dropped the call.
    bool terminalDisconnected() const;
    // The text for a code; "Unknown Error!" for a number without one.
    static QByteArray messageFor(Code code);

private:
    Code m_code;
};
