#pragma once

#include <QByteArray>
#include <QByteArrayView>

// An HTTP/1.x response read as it arrives: the status line, the headers that frame the body,
// and the body, whether its length is given, it comes in chunks, or it ends with the
// connection. Interim 1xx responses are passed over. Whatever the far end sends, the parser
// holds at most kLimit bytes and never reads past what it was given.
class HttpResponse final
{
public:
    static constexpr qsizetype kLimit = 64 * 1024;

    enum class State { Incomplete, Complete, Malformed, TooLarge };

    // Takes the next bytes of the response; the state after them. Bytes after a complete
    // response are ignored.
    State feed(QByteArrayView bytes);
    // The connection has ended: a body that runs to the end is complete now, anything else
    // unfinished is malformed.
    State finish();

    State state() const { return m_state; }
    int status() const { return m_status; }
    const QByteArray& reason() const { return m_reason; }
    const QByteArray& body() const { return m_body; }
    // Why the response is malformed.
    const QByteArray& problem() const { return m_problem; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class Stage { Head, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Done };

    void parse();
    bool parseHead(QByteArrayView head);
    // One line from the read position, without its line end; false while it is incomplete.
    bool takeLine(QByteArray& line);
    void malformed(const QByteArray& why);
    void complete();

    State m_state = State::Incomplete;
    Stage m_stage = Stage::Head;
    Framing m_framing = Framing::UntilClose;
    QByteArray m_buffer;
    qsizetype m_read = 0;    // bytes of m_buffer already parsed
    qsizetype m_scanned = 0; // bytes of m_buffer already searched for a line end
    qsizetype m_received = 0;
    qint64 m_remaining = 0; // of the body (Length) or the chunk (ChunkData)
    int m_status = 0;
    QByteArray m_reason;
    QByteArray m_body;
    QByteArray m_problem;
};
