#pragma once

#include "snpp/snppguard.h"
#include "snpp/snppprotocol.h"
#include "snpp/snpptiming.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <optional>

class QTcpSocket;
class QTimer;

// One paging client's connection. It is driven by the socket's and its timers' signals only and
// never waits, so any number of sessions run side by side without holding each other up. It
// owns the socket, the line buffer with its cap, the idle timer and the command handler.
//
// Lines end in LF (a CR before it is dropped). A line longer than MaxLine ends the session.
// While a line or a reply is not through, the session stops taking in bytes, so the kernel holds
// a fast sender back instead of the buffer growing. One pass of the event loop handles one
// command (or a run of message body lines): what a client sent ahead waits for the next pass,
// so other clients and the workstations are served between its commands. Every session-ending
// reply reaches the client: the session stops reading commands, sends it, shuts its sending
// side and drops what still arrives until the client closes or the drain time is over.
class SnppSession final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxLine = 64 * 1024;
    // Replies waiting to be sent beyond this stop the reading of commands until they are out.
    static constexpr qsizetype MaxPendingOutput = 256 * 1024;
    // Message body lines handled in one pass of the event loop; a command takes a pass alone.
    static constexpr int BodyLinesPerPass = 64;

    // Takes `socket` over. Each command and each SEND tried again runs through `guard` when one
    // is given; one that fails ends the session without its reply.
    SnppSession(QTcpSocket* socket, QByteArray peerAddress, const ISnppAccess& access,
                const IPagerDirectory& directory, IPageSink& sink, const SnppTiming& timing,
                SnppGuard guard = {}, QObject* parent = nullptr);
    ~SnppSession() override;

    const QByteArray& peerAddress() const { return m_peer; }
    // Greets the client and starts serving it.
    void start();
    // Ends the session with one reply and serves nothing.
    void refuse(const QByteArray& reply);
    // Ends the session after the command in hand, which gets its reply first: `reply` follows
    // it, then the orderly close. Lines the client sent ahead are not handled. A SEND whose pages
    // the queue writes in its next pass is the command in hand: its answer goes first. A SEND
    // that waits for a queue being delivered is answered as busy: nothing of it was queued.
    void end(const QByteArray& reply);
    // Drops the connection at once.
    void abort();
    bool isFinished() const { return m_state == State::Finished; }

signals:
    // Once, when the connection is gone. The session may be deleted from here on.
    void finished(SnppSession* session);

private:
    enum class State { Serving, WaitingForQueue, Closing, Finished };

    void takeInput();
    void handle(const SnppReply& reply);
    // After a command was handled: the end asked for meanwhile, if any. True when it came.
    bool endIfAsked();
    void endNow(const QByteArray& reply);
    void retrySend();
    // The queue's answer to the SEND that waits for it.
    void answered(const PageSinkResult& result);
    // One step of the command handler, run as a command (an end asked for meanwhile waits for
    // its reply) through the guard; nothing when it failed, and then the session ends.
    std::optional<SnppReply> command(const std::function<SnppReply()>& step);
    // The queue has answered the waiting SEND: its reply, then serving goes on.
    void resume(const SnppReply& reply);
    // Runs `work` through the guard; true when it returned.
    bool guarded(const std::function<void()>& work);
    // A command failed: the session ends without its reply.
    void fail();
    void closeAfter(const QByteArray& reply);
    void shutDownWhenSent();
    void finish();

    QTcpSocket* m_socket;
    QByteArray m_peer;
    SnppProtocol m_protocol;
    SnppTiming m_timing;
    SnppGuard m_guard;
    State m_state = State::Serving;
    QByteArray m_buffer;
    qsizetype m_consumed = 0;
    QTimer* m_idle;
    QTimer* m_busyPoll;
    QTimer* m_drain;
    // Takes up buffered lines in the next pass of the event loop.
    QTimer* m_continue;
    QElapsedTimer m_busySince;
    bool m_writeShut = false;
    // A command is being handled; an end asked for meanwhile waits in m_endReply.
    bool m_handling = false;
    std::optional<QByteArray> m_endReply;
};
