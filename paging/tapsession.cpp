#include "paging/tapsession.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "paging/tapblockbuilder.h"
#include "paging/tapchannel.h"

#include <utility>

namespace {

using Code = EPageError::Code;

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

TapSession::TapSession(TapChannel& channel, Progress progress)
    : m_channel(channel), m_progress(std::move(progress))
{
}

void TapSession::progress(const QByteArray& text) const
{
    if (m_progress)
        m_progress(text);
}

bool TapSession::failCall(EPageError::Code code, const QByteArray& progressText)
{
    const bool cancelled = m_channel.aborted();
    m_channel.close();
    if (cancelled)
        return false;
    if (!progressText.isEmpty())
        progress(progressText);
    throw EPageError(code);
}

bool TapSession::logOnAfterConnect(const QByteArray& password)
{
    // The terminal prompts with "ID="; some only after a CR.
    m_channel.pacing().sleep(1000);
    bool prompted = false;
    for (int attempt = 0; attempt < 3 && !prompted && !m_channel.aborted(); ++attempt) {
        prompted = m_channel.waitForReply("ID=", 5) == 0;
        if (!prompted && !m_channel.aborted())
            m_channel.write("\r");
    }
    if (!prompted)
        return failCall(Code::NoResponse, "No Response From Paging Network");

    progress("Loging On");
    return logOn(password);
}

bool TapSession::logOn(const QByteArray& password)
{
    const QByteArray line = "\x1bPG1" + password + "\r";
    for (int attempt = 1;; ++attempt) {
        m_channel.pacing().sleep(500);
        m_channel.write(line);
        m_channel.pacing().sleep(10);
        switch (m_channel.waitForReply(kLogonReplies, 10)) {
        case 0:
        case 3:
            progress("Login Accepted");
            m_channel.pacing().sleep(1000);
            if (m_channel.waitForReply(kGoAhead, 5) == 0)
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

bool TapSession::transmit(const QByteArray& pin, qint32 msgLength, const QByteArray& message)
{
    if (message.isEmpty()) {
        m_channel.close();
        throw EPageError(Code::NoMessage);
    }
    const bool narrowLine = m_channel.sevenBitLine();
    TapBlockBuilder builder(pin, msgLength, narrowLine);
    const QByteArray working = TapBlockBuilder::escape(message, narrowLine);

    progress("Sending Message To " + pin);
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

bool TapSession::sendBlock(const QByteArray& block, int number, int count)
{
    const QByteArray sending =
        "Sending Block " + QByteArray::number(number) + " of " + QByteArray::number(count);
    for (int sends = 1;; ++sends) {
        progress(sending);
        // The line has a thread of its own: its pause before each block keeps that thread's
        // events served, so a hang-up asked for meanwhile (Cancel Call, a second stop) ends the
        // page here rather than after its last block.
        m_channel.pacing().pauseResponsiveUntil(1000, [this] { return !m_channel.isOpen(); });
        if (!m_channel.isOpen())
            return false;
        m_channel.write(block);
        m_channel.pacing().sleep(10);
        switch (m_channel.waitForReply(kBlockReplies, 10)) {
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
            if (m_channel.aborted())
                return false;
            throw EPageError(Code::InvalidId);
        case 5:
            progress("Paging Terminal Disconnected");
            if (m_channel.aborted())
                return false;
            throw EPageError(Code::TerminalHungUp);
        default:
            progress("No Response From Terminal");
            if (m_channel.aborted())
                return false;
            throw EPageError(Code::NoResponse);
        }
    }
}

void TapSession::signOff()
{
    if (m_channel.isOpen()) {
        m_channel.pacing().sleep(1000);
        EventPump::once();
        // A Cancel Call handled in that pump has ended the call already: it is ended once.
        if (m_channel.isOpen()) {
            progress("Disconnecting...");
            m_channel.write(kEndOfCall);
            m_channel.setAborted();
        }
    }
    m_channel.close();
}
