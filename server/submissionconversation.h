#pragma once

#include <QByteArray>

#include <memory>

class ServerCore;
class TSock;
class TTimeCounter;
struct SubmissionBlock;

// One workstation's conversation on an accepted connection: commands in, three-digit replies
// out, data blocks checked and appended to the queue file. It owns the idle counter (60 s, 120 s
// once the server has answered that it is busy), caps what it takes in one read, and counts the
// messages it queued. Every wait runs the event loop, so further conversations and the call
// processing timer run inside it; an inner conversation always ends before the outer resumes.
class SubmissionConversation final
{
public:
    // The most a command or data block may hold.
    static constexpr qsizetype MaxInput = 64 * 1024;
    static constexpr int DefaultMaxNesting = 64;

    SubmissionConversation(ServerCore& core, TSock& client);
    ~SubmissionConversation();
    SubmissionConversation(const SubmissionConversation&) = delete;
    SubmissionConversation& operator=(const SubmissionConversation&) = delete;

    // Runs the conversation to its end. Never raises.
    void run();
    qint32 acceptedCount() const { return m_accepted; }

    // The listener's accept handler: serves `client` to the end of its conversation. Each
    // accepted connection is served inside the wait of the one before, so the number of
    // conversations on the stack is bounded: at the bound the listener stops accepting and new
    // connections wait in its backlog until an inner conversation ends.
    static void serve(ServerCore& core, TSock& listener, TSock& client);
    static void setMaxNesting(int conversations);
    static int maxNesting();
    // Conversations running at this moment (nested on the stack).
    static int nesting();

private:
    enum class Next { Continue, End };
    enum class WaitEnd { Received, TimedOut, Closed };

    Next dispatch(const QByteArray& text);
    Next helo(const QByteArray& argument);
    Next page(const QByteArray& argument);
    Next data();
    Next done();
    Next queueBlock(const QByteArray& encoded);
    void queueAndShow(const SubmissionBlock& block, qint32 n);

    // Waits for the next text. The command wait (`closedFirst`) ends on a closed connection
    // before it reads; the data waits read first. `busyCleared` is set when the busy wait sees
    // ServerBusy go off.
    WaitEnd waitForText(QByteArray& text, bool busyWait, bool* busyCleared, bool closedFirst);
    // Starts the idle counter from its limit, afresh.
    void restartIdle();
    bool tooLarge(const QByteArray& text);
    bool reply(const QByteArray& text);
    bool realAddressRefused() const;
    QByteArray deniedReply() const;
    void closeConnection();

    ServerCore& m_core;
    TSock& m_client;
    std::unique_ptr<TTimeCounter> m_idle;
    qint32 m_accepted = 0;
};
