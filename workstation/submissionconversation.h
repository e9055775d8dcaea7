#pragma once

#include <QByteArray>
#include <QDeadlineTimer>

#include <functional>
#include <memory>

class ISubmissionHandler;
class TSock;
class SubmissionReader;
class TTimeCounter;
struct PageRefusal;
struct SubmissionBlock;

// One workstation's conversation on an accepted connection: commands in, three-digit replies
// out, data blocks checked and appended to the queue file, refused ones named in the
// "Connection Log". It owns the idle counter (60 s, 120 s once the server has answered that it
// is busy) and the first command's deadline, caps what it takes in one read, and counts the
// messages it queued. Its waits and pauses last as its connection's Pacing says. Every wait runs
// the event loop, so further conversations and the call processing timer run inside it; an inner
// conversation always ends before the outer resumes. Every wait and pause ends as soon as the
// client closes or resets the connection, so that an inner conversation whose client is gone never
// holds the ones beneath it.
class SubmissionConversation final
{
public:
    // The most a command or data block may hold.
    static constexpr qsizetype MaxInput = 64 * 1024;

    SubmissionConversation(ISubmissionHandler& handler, TSock& client);
    ~SubmissionConversation();
    SubmissionConversation(const SubmissionConversation&) = delete;
    SubmissionConversation& operator=(const SubmissionConversation&) = delete;

    // The first command must arrive by `by`, or the connection is closed without a reply;
    // `arrived` is called once it has. From then on the idle limits hold. Without it, the idle
    // limits hold from the start.
    void setFirstCommand(const QDeadlineTimer& by, std::function<void()> arrived);

    // Runs the conversation to its end. Never raises.
    void run();
    qint32 acceptedCount() const { return m_accepted; }

private:
    enum class Next { Continue, End };

    Next dispatch(const QByteArray& text);
    Next helo(const QByteArray& argument);
    Next page(const QByteArray& argument);
    Next data();
    Next done();
    Next queueBlock(const QByteArray& encoded);
    // Answers a refused block and logs it; End when the reply cannot reach the client.
    Next refuse(const PageRefusal& refusal);

    // Starts the idle counter from its limit, afresh.
    void restartIdle();
    bool tooLarge(const QByteArray& text);
    // Sends a reply; false (and the connection released) when it cannot reach the client.
    bool reply(const QByteArray& text);
    bool realAddressRefused() const;
    QByteArray deniedReply() const;
    QByteArray hostAddress() const;
    // Ends the connection after a last reply: the reply reaches the client before the close.
    void closeAfterReply();
    // Ends a connection that gets no reply (or went away): closed at once.
    void release();

    ISubmissionHandler& m_handler;
    TSock& m_client;
    std::unique_ptr<TTimeCounter> m_idle;
    std::unique_ptr<SubmissionReader> m_reader;
    QDeadlineTimer m_firstCommandBy{QDeadlineTimer::Forever};
    std::function<void()> m_firstCommandArrived;
    qint32 m_accepted = 0;
};
