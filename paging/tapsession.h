#pragma once

#include "paging/epageerror.h"

#include <QByteArray>

#include <functional>

class TapChannel;

// The TAP exchange with a paging terminal over a line that is already up: the wait for the
// terminal's "ID=" prompt and the log-on, the blocks of each message with their replies, and
// the sign-off. The same bytes and pauses whichever line carries them; every step is reported
// through the progress handler and failures raise EPageError.
class TapSession final
{
public:
    using Progress = std::function<void(const QByteArray& text)>;

    // A block is sent at most this often: the first time and three resends after a NAK.
    static constexpr int kMaxBlockSends = 4;
    // Log-on attempts before a refusing terminal counts as denying the log-on.
    static constexpr int kMaxLogonAttempts = 3;

    TapSession(TapChannel& channel, Progress progress);

    // Waits for the prompt (sending a CR after each silent 5 s, three times) and logs on with
    // the password. True: logged on, the line open for transmit(). False: cancelled. Raises
    // EPageError on any other failure, with the line closed.
    bool logOnAfterConnect(const QByteArray& password);
    // Sends one message as its TAP blocks. True when the terminal accepted the last block;
    // false when the call was cancelled meanwhile. Raises EPageError for a refused message
    // (the line stays open) and for an empty one (the line is closed first).
    bool transmit(const QByteArray& pin, qint32 msgLength, const QByteArray& message);
    // Ends the call: after a pause, ESC EOT CR unless a cancel handled in that pause ended it
    // already, then the line is closed in any case.
    void signOff();

    // The end of a failed call set-up: the line is closed; a cancelled call returns false
    // without a word, any other raises `code` after the progress text (when there is one).
    bool failCall(EPageError::Code code, const QByteArray& progressText);

private:
    bool logOn(const QByteArray& password);
    // Sends one block until the terminal takes it; the result of the block.
    bool sendBlock(const QByteArray& block, int number, int count);
    void progress(const QByteArray& text) const;

    TapChannel& m_channel;
    Progress m_progress;
};
