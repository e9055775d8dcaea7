#include "paging/tomxpage.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "paging/epageerror.h"
#include "paging/tapblockbuilder.h"

namespace {

using Code = EPageError::Code;

// Modem results after dialing, in the order the wait reports them.
const QByteArray kDialResults = "CONNECT|BUSY|NO DIAL TONE|NO CARRIER|NO ANSWER|VOICE";
// Terminal answers to a log-on line: ACK, NAK, end of call, each after CR or LF, and a new
// prompt.
const QByteArray kLogonReplies =
    "\r\x06\r|\r\x15\r|\r\x1b\x04\r|\n\x06\r|\n\x15\r|\n\x1b\x04\r|ID=";
// Terminal answers to a block: delivered, deferred, accepted, checksum error, pager ID
// rejected, end of call.
const QByteArray kBlockReplies = "211\r\x06\r|213\r\x06\r|\r\x06\r|\r\x15\r|\r\x1e\r|\r\x1b\x04\r";
const QByteArray kGoAhead = "\x1b[p\r";
const QByteArray kEndOfCall = "\x1b\x04\r";

} // namespace

TOMXPage::TOMXPage(QObject* parent) : TOMXCom32(parent) {}

TOMXPage::~TOMXPage() = default;

void TOMXPage::progress(const QByteArray& text)
{
    if (m_onPageProgress)
        m_onPageProgress(text);
}

bool TOMXPage::failCall(EPageError::Code code, const QByteArray& progressText)
{
    const bool cancelled = Aborted();
    ClosePort();
    if (cancelled)
        return false;
    if (!progressText.isEmpty())
        progress(progressText);
    throw EPageError(code);
}

bool TOMXPage::Connect()
{
    if (m_provider.isEmpty())
        throw EPageError(Code::NoProvider);
    if (m_pinNumber.isEmpty())
        throw EPageError(Code::NoPin);
    if (PortOpen())
        Disconnect();
    if (!OpenPort()) {
        progress("Comm Error");
        throw EPageError(Code::ComportError);
    }

    if (!m_initString.isEmpty()) {
        progress("Intializing Modem");
        if (!SendCommand(m_initString))
            return failCall(Code::ModemInitFailed, {});
    }
    pacing().sleep(150);

    progress("Dialing " + m_provider);
    SendString((m_dialMethod == dmPulse ? "atdp " : "atdt ") + m_provider + "\r\n");
    switch (WaitForReply(kDialResults, 60)) {
    case 0:
        progress("Connected");
        break;
    case 1:
        return failCall(Code::LineBusy, "Line Busy");
    case 2:
        return failCall(Code::NoDialTone, "No Dial Tone");
    case 3:
        return failCall(Code::NoCarrier, "No Carrier");
    case 4:
        return failCall(Code::NoAnswer, "No Answer");
    case 5:
        return failCall(Code::VoiceConnection, "Voice Line");
    default:
        return failCall(Code::ConnectionFailed, "Connection Failed");
    }

    // The terminal prompts with "ID="; some only after a CR.
    pacing().sleep(1000);
    bool prompted = false;
    for (int attempt = 0; attempt < 3 && !prompted && !Aborted(); ++attempt) {
        prompted = WaitForReply("ID=", 5) == 0;
        if (!prompted && !Aborted())
            SendString("\r");
    }
    if (!prompted)
        return failCall(Code::NoResponse, "No Response From Paging Network");

    progress("Loging On");
    return logOn();
}

bool TOMXPage::logOn()
{
    const QByteArray line = "\x1bPG1" + m_password + "\r";
    for (int attempt = 1;; ++attempt) {
        pacing().sleep(500);
        SendString(line);
        pacing().sleep(10);
        switch (WaitForReply(kLogonReplies, 10)) {
        case 0:
        case 3:
            progress("Login Accepted");
            pacing().sleep(1000);
            if (WaitForReply(kGoAhead, 5) == 0)
                return true;
            return failCall(Code::LogonFailure, "Login Failed");
        case 1:
        case 4:
        case 6:
            // A terminal that keeps refusing would hold the line for good.
            if (attempt >= kMaxLogonAttempts)
                return failCall(Code::LogonRefused, "Login Failed");
            progress("ReLogin Requested");
            break;
        case 2:
        case 5:
            return failCall(Code::LogonDenied, "Login Denied");
        default:
            return failCall(Code::LogonFailure, "Login Failed");
        }
    }
}

bool TOMXPage::SendPage(const QByteArray& pin, const QByteArray& text)
{
    if (!PortOpen())
        return false;
    // Taking an empty pager ID would leave the engine refusing every later Connect ("No Pin
    // Number!") until a page with a PIN came along, which none would, as no call could start.
    if (pin.isEmpty())
        throw EPageError(Code::NoPin);
    m_pinNumber = pin;
    m_message = text;
    return TransmitMessage();
}

bool TOMXPage::TransmitMessage()
{
    if (m_message.isEmpty()) {
        ClosePort();
        throw EPageError(Code::NoMessage);
    }
    const bool narrowLine = ComPortDataBits() >= db5BITS && ComPortDataBits() <= db7BITS;
    TapBlockBuilder builder(m_pinNumber, m_msgLength, narrowLine);
    const QByteArray working = TapBlockBuilder::escape(m_message, narrowLine);

    progress("Sending Message To " + m_pinNumber);
    // A pager ID that leaves no room for a continued piece under this company's message
    // length: the message cannot be split, so it is refused and the call goes on.
    if (!builder.build(working))
        throw EPageError(Code::InvalidId);

    const QList<QByteArray>& blocks = builder.blocks();
    bool result = false;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        result = sendBlock(blocks.at(i), static_cast<int>(i) + 1, static_cast<int>(blocks.size()));
        if (!result)
            return false;
    }
    return result;
}

bool TOMXPage::sendBlock(const QByteArray& block, int number, int count)
{
    const QByteArray sending =
        "Sending Block " + QByteArray::number(number) + " of " + QByteArray::number(count);
    for (int sends = 1;; ++sends) {
        progress(sending);
        pacing().sleep(1000);
        SendString(block);
        pacing().sleep(10);
        switch (WaitForReply(kBlockReplies, 10)) {
        case 0:
            progress("Message Delivered");
            return true;
        case 1:
            progress("Deferred Message Delivery");
            return true;
        case 2:
            progress("Message Sent");
            return true;
        case 3:
            // TAP's limit: three resends, then the block counts as failed.
            if (sends >= kMaxBlockSends)
                throw EPageError(Code::ChecksumFailed);
            progress("Error: Checksum Error-Retransmitting");
            break;
        case 4:
            progress("Error: Invalid Number");
            if (Aborted())
                return false;
            throw EPageError(Code::InvalidId);
        case 5:
            progress("Paging Terminal Disconnected");
            if (Aborted())
                return false;
            throw EPageError(Code::TerminalHungUp);
        default:
            progress("No Response From Terminal");
            if (Aborted())
                return false;
            throw EPageError(Code::NoResponse);
        }
    }
}

bool TOMXPage::Disconnect()
{
    if (PortOpen()) {
        pacing().sleep(1000);
        EventPump::once();
        // A Cancel Call handled in that pump has ended the call already: it is ended once.
        if (PortOpen()) {
            progress("Disconnecting...");
            SendString(kEndOfCall);
            setAborted(true);
        }
    }
    ClosePort();
    return PortOpen();
}

QByteArray TOMXPage::BlockChecksum(const QByteArray& block)
{
    return TapBlockBuilder::checksum(block);
}
