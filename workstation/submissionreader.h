#pragma once

#include <QByteArray>
#include <QDeadlineTimer>

#include <functional>

class TSock;
class TTimeCounter;

// Takes a workstation's texts off its connection for a conversation, and keeps every wait and
// pause of the conversation tied to the connection: each ends at once when the connection is
// closed by either side or reset by the peer.
//
// A text is everything the client sent in one go. One write that the network delivers in
// several segments arrives over a little time, so once bytes are there the reader keeps taking
// what follows until the connection has been quiet for QuietMs, the text has passed its cap, or
// the idle counter ran out; only a bare "DATA" or "DONE" is served at once. Two writes
// separated by a real pause stay two texts, as the protocol defines them: its clients wait for
// each reply before they send again.
//
// A data block is the exception: a segment the network sends again arrives a good while after
// the rest, so a first part that cannot be a whole block waits up to RestMs for what follows.
class SubmissionReader final
{
public:
    enum class End { Received, TimedOut, Closed };

    // The quiet time that ends a text. The segments of one write follow each other within a
    // fraction of it on a LAN; it is also the latency the reader adds to every text.
    static constexpr int QuietMs = 3;
    // How long the rest of a data block is waited for (nominal; scaled by the connection's
    // Pacing). A retransmitted segment comes some 200 ms late.
    static constexpr int RestMs = 1000;

    // `maxText`: a text may hold one byte more than this, which tells that it is too large.
    SubmissionReader(TSock& client, TTimeCounter& idle, qsizetype maxText);

    // The next command, until the idle counter runs out or `by` has passed (TimedOut). A
    // connection that is closed ends the wait before anything it still buffers is read.
    End command(QByteArray& text, const QDeadlineTimer& by);
    // The data block after "354": what arrived is read before the connection's state counts.
    // When what arrived is not `whole`, what follows within RestMs is added to it, until it is
    // whole; then it is given as it is.
    End block(QByteArray& text, const std::function<bool(const QByteArray&)>& whole);
    // The wait after "355". It also ends, with `busyCleared` set and whatever had just arrived
    // dropped, as soon as `busy` no longer holds.
    End whileBusy(QByteArray& text, const std::function<bool()>& busy, bool& busyCleared);

    // One of the protocol's pauses (scaled by the connection's Pacing); false when the connection
    // went away during it.
    bool pause(int nominalMs);
    // Closed by either side, or reset by the peer.
    bool gone();

private:
    End wait(QByteArray& text, bool closedFirst, const std::function<bool()>& busy,
             bool* busyCleared, const QDeadlineTimer& by);
    // Adds what follows the first bytes of a text until the connection is quiet, the cap is
    // passed, the idle counter runs out or `by` has passed.
    End gather(QByteArray& text, const QDeadlineTimer& by);
    End rest(QByteArray& text, const std::function<bool(const QByteArray&)>& whole);
    QByteArray take(qsizetype already);

    TSock& m_client;
    TTimeCounter& m_idle;
    qsizetype m_maxText;
};
