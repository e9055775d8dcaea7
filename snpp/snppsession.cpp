#include "snpp/snppsession.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

#include <sys/socket.h>

SnppSession::SnppSession(QTcpSocket* socket, QByteArray peerAddress, const ISnppAccess& access,
                         const IPagerDirectory& directory, IPageSink& sink,
                         const SnppTiming& timing, SnppGuard guard, QObject* parent)
    : QObject(parent), m_socket(socket), m_peer(std::move(peerAddress)),
      m_protocol(access, directory, sink, m_peer), m_timing(timing), m_guard(std::move(guard)),
      m_idle(new QTimer(this)), m_busyPoll(new QTimer(this)), m_drain(new QTimer(this)),
      m_continue(new QTimer(this))
{
    m_socket->setParent(this);
    // The queue's answer to a SEND comes in a later pass; a session gone by then takes none
    // (it withdrew its pages when it ended).
    m_protocol.setLaterAnswers([self = QPointer<SnppSession>(this)](const PageSinkResult& result) {
        if (self)
            self->answered(result);
    });
    // Qt takes no more from the kernel than one whole line: what a client sends beyond that
    // waits in the kernel until the session has used up what it has.
    m_socket->setReadBufferSize(MaxLine + 2);

    m_idle->setSingleShot(true);
    m_idle->setInterval(m_timing.idleMs);
    connect(m_idle, &QTimer::timeout, this, [this] { closeAfter(SnppProtocol::timeoutReply()); });
    m_busyPoll->setInterval(m_timing.busyPollMs);
    connect(m_busyPoll, &QTimer::timeout, this, &SnppSession::retrySend);
    m_drain->setSingleShot(true);
    connect(m_drain, &QTimer::timeout, this, &SnppSession::abort);
    m_continue->setSingleShot(true);
    m_continue->setInterval(0);
    connect(m_continue, &QTimer::timeout, this, &SnppSession::takeInput);

    connect(m_socket, &QTcpSocket::readyRead, this, &SnppSession::takeInput);
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_state == State::Closing)
            shutDownWhenSent();
        else if (m_state == State::Serving)
            takeInput(); // replies were held up by a client that does not read
    });
    connect(m_socket, &QTcpSocket::disconnected, this, &SnppSession::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            finish();
    });
}

SnppSession::~SnppSession() = default;

void SnppSession::start()
{
    m_socket->write(SnppProtocol::greeting());
    m_idle->start();
    takeInput();
}

void SnppSession::refuse(const QByteArray& reply)
{
    closeAfter(reply);
}

void SnppSession::takeInput()
{
    if (m_state == State::Closing) {
        m_socket->readAll(); // no longer served
        return;
    }
    if (m_handling)
        return;
    int budget = BodyLinesPerPass;
    while (m_state == State::Serving) {
        if (m_socket->bytesToWrite() > MaxPendingOutput)
            return; // bytesWritten brings it back
        const qsizetype end = m_buffer.indexOf('\n', m_consumed);
        if (end < 0) {
            m_buffer.remove(0, m_consumed);
            m_consumed = 0;
            // A whole line and its CR LF fit; anything longer without an LF cannot be a line.
            if (m_buffer.size() >= MaxLine + 2) {
                closeAfter(SnppProtocol::lineTooLongReply());
                return;
            }
            const QByteArray more = m_socket->read(MaxLine + 2 - m_buffer.size());
            if (more.isEmpty())
                return;
            m_buffer += more;
            continue;
        }
        if (budget <= 0) {
            // The rest waits for the next pass: other sessions, the workstations' conversations
            // and the timers get their turn first.
            m_continue->start();
            return;
        }
        QByteArray line = m_buffer.mid(m_consumed, end - m_consumed);
        m_consumed = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > MaxLine) {
            closeAfter(SnppProtocol::lineTooLongReply());
            return;
        }
        m_idle->start();
        budget -= m_protocol.inData() ? 1 : BodyLinesPerPass;
        const std::optional<SnppReply> reply = command([&] { return m_protocol.handleLine(line); });
        if (!reply)
            return;
        handle(*reply);
        if (endIfAsked())
            return;
    }
}

void SnppSession::handle(const SnppReply& reply)
{
    if (reply.awaitingQueue) {
        // The pages are with the queue, which answers once they are durable, in a later pass.
        // Nothing else is read meanwhile, and the idle limit waits for the answer.
        m_state = State::WaitingForQueue;
        m_idle->stop();
        return;
    }
    if (reply.pending) {
        // The queue is being delivered. The client waits for its answer, so the idle limit
        // does not run meanwhile; its further lines wait unread.
        m_state = State::WaitingForQueue;
        m_idle->stop();
        m_busySince.start();
        m_busyPoll->start();
        return;
    }
    if (reply.close) {
        closeAfter(reply.text);
        return;
    }
    if (!reply.text.isEmpty())
        m_socket->write(reply.text);
}

void SnppSession::retrySend()
{
    if (m_state != State::WaitingForQueue)
        return;
    std::optional<SnppReply> reply = command([&] { return m_protocol.retrySend(); });
    if (!reply)
        return;
    if (reply->pending) {
        // An end asked for meanwhile answers the SEND at once: nothing of it was queued.
        if (!m_endReply && m_busySince.elapsed() < m_timing.busyLimitMs)
            return;
        reply = SnppReply{m_protocol.busyRefusal(), false, false};
    }
    m_busyPoll->stop();
    resume(*reply);
}

void SnppSession::answered(const PageSinkResult& result)
{
    if (m_state != State::WaitingForQueue)
        return;
    if (result.status == PageSinkResult::Status::Failed) {
        m_protocol.answer(result); // the SEND waits no longer
        fail();
        return;
    }
    if (const std::optional<SnppReply> reply = command([&] { return m_protocol.answer(result); }))
        resume(*reply);
}

void SnppSession::resume(const SnppReply& reply)
{
    m_state = State::Serving;
    m_idle->start();
    handle(reply);
    if (endIfAsked())
        return;
    takeInput();
}

std::optional<SnppReply> SnppSession::command(const std::function<SnppReply()>& step)
{
    m_handling = true;
    SnppReply reply;
    const bool handled = guarded([&] { reply = step(); });
    m_handling = false;
    if (!handled) {
        fail();
        return std::nullopt;
    }
    return reply;
}

void SnppSession::end(const QByteArray& reply)
{
    // Inside a command, or with a SEND whose pages the queue writes in its next pass: its reply
    // goes first.
    if (m_handling || m_protocol.awaitingQueue()) {
        if (!m_endReply)
            m_endReply = reply;
        return;
    }
    endNow(reply);
}

bool SnppSession::guarded(const std::function<void()>& work)
{
    if (!m_guard) {
        work();
        return true;
    }
    return m_guard(work);
}

void SnppSession::fail()
{
    // What the command had done when it failed is not known, so it gets no reply: the client
    // learns from the close that its command was not confirmed. An end asked for meanwhile
    // still says why the server lets it go.
    closeAfter(std::exchange(m_endReply, std::nullopt).value_or(QByteArray()));
}

bool SnppSession::endIfAsked()
{
    if (!m_endReply)
        return false;
    endNow(*std::exchange(m_endReply, std::nullopt));
    return true;
}

void SnppSession::endNow(const QByteArray& reply)
{
    if (m_state == State::WaitingForQueue)
        closeAfter(m_protocol.busyRefusal() + reply);
    else
        closeAfter(reply);
}

void SnppSession::closeAfter(const QByteArray& reply)
{
    if (m_state == State::Closing || m_state == State::Finished)
        return;
    m_state = State::Closing;
    m_idle->stop();
    m_busyPoll->stop();
    m_continue->stop();
    m_buffer.clear();
    m_consumed = 0;
    m_socket->write(reply);
    m_drain->start(m_timing.drainMs);
    m_socket->readAll();
    shutDownWhenSent();
}

void SnppSession::shutDownWhenSent()
{
    if (m_writeShut || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->flush();
    if (m_socket->bytesToWrite() > 0)
        return;
    // The reply is with the kernel. Closing now, with unread input, would send a reset that can
    // make the client's side drop the reply; shutting the sending side ends the stream cleanly
    // after it, and the client closes its end once it has read it.
    m_writeShut = true;
    ::shutdown(static_cast<int>(m_socket->socketDescriptor()), SHUT_WR);
}

void SnppSession::abort()
{
    if (m_state == State::Finished)
        return;
    m_socket->abort();
    finish();
}

void SnppSession::finish()
{
    if (m_state == State::Finished)
        return;
    // A client gone before its SEND's pages were written leaves them out.
    m_protocol.withdrawSend();
    m_state = State::Finished;
    m_idle->stop();
    m_busyPoll->stop();
    m_drain->stop();
    m_continue->stop();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    emit finished(this);
}
