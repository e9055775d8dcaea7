// Sending and receiving of TSock: stream data through the output and input buffers, datagrams
// straight to and from the platform.

#include "net/tsock.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "net/errorname.h"
#include "net/esockexception.h"

#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace {

constexpr int kReceiveSize = 32768;

// Sends without ever raising SIGPIPE: a peer that went away is an error result, not a signal
// that ends the server.
ssize_t sendSome(int handle, const QByteArray& bytes)
{
    return ::send(handle, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL);
}

bool isBrokenConnection(int error)
{
    return error == EPIPE || error == ECONNRESET || error == ECONNABORTED || error == ESHUTDOWN;
}

} // namespace

bool TSock::Send(const QByteArray& text)
{
    if (m_handle < 0 || m_draining)
        throw ESockException("Send - Socket Not Connected");
    if (m_listen)
        throw ESockException("Send - Cannot Send On A Listener Socket");
    if (m_socketType == stDatagram) {
        SendDatagram(text, m_hostName);
        return true;
    }
    m_outBuffer.append(text);
    if (m_outBuffer.isEmpty())
        return true;
    if (!m_blocking) {
        report(siOutgoing, "Non-Blocking Outgoing Data");
        offerOutput();
        return true;
    }
    while (!m_outBuffer.isEmpty()) {
        const ssize_t sent = sendSome(m_handle, m_outBuffer);
        if (sent < 0) {
            const int code = SockErrors::fromErrno(errno);
            if (code != 10036 && errno != EINTR) {
                report(siError, "Socket Error On Send");
                throw ESockException("Send - Socket Error");
            }
        } else {
            m_outBuffer.remove(0, sent);
        }
        report(siOutgoing, "Blocking Outgoing Data");
        // On a connection served on a thread of its own, the event loop is the owner's and
        // nothing runs here.
        if (QThread::currentThread() != thread())
            continue;
        // Other sockets' handlers run here and may end this object's conversation.
        QPointer<TSock> self(this);
        EventPump::once();
        if (!self)
            return true;
        if (m_handle < 0)
            break;
    }
    m_outBuffer.clear();
    return true;
}

void TSock::offerOutput()
{
    const ssize_t sent = sendSome(m_handle, m_outBuffer);
    // A failed non-blocking send is not reported: the bytes wait for the next write event.
    if (sent > 0)
        m_outBuffer.remove(0, sent);
    else if (sent < 0 && isBrokenConnection(errno))
        m_sendBroken = true;
    updateWriteNotifier();
}

bool TSock::SendLine(const QByteArray& text)
{
    return Send(text + "\r\n");
}

QByteArray TSock::Receive()
{
    return ReceiveCount(-1);
}

// Blocking sockets wait at most BlockingTimeout seconds for input: 0 does not wait, a negative
// value waits without limit. True when the socket is readable.
bool TSock::waitReadable()
{
    pollfd watched{};
    watched.fd = m_handle;
    watched.events = POLLIN;
    const int timeoutMs = m_blockingTimeout < 0    ? -1
                          : m_blockingTimeout == 0 ? 0
                                                   : m_pacing->scaled(m_blockingTimeout * 1000);
    int result;
    do {
        result = ::poll(&watched, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

QByteArray TSock::ReceiveCount(int count)
{
    if (m_handle < 0 && m_inBuffer.isEmpty())
        throw ESockException("Receive - Socket Not Connected");
    if (m_listen)
        throw ESockException("Receive - Cannot Receive On A Listener Socket");
    const int size = (count < 0 || count > kReceiveSize) ? kReceiveSize : count;
    if (m_socketType == stDatagram) {
        QByteArray sender;
        return ReceiveDatagram(sender);
    }
    if (m_blocking) {
        if (Connected() && waitReadable()) {
            report(siIncoming, "Blocking Incoming Data");
            QByteArray chunk(size, Qt::Uninitialized);
            ssize_t received;
            do {
                received = ::recv(m_handle, chunk.data(), static_cast<size_t>(size), 0);
            } while (received < 0 && errno == EINTR);
            if (received < 0) {
                const int code = SockErrors::fromErrno(errno);
                m_inBuffer.clear();
                report(siError, "Socket Error On Receive");
                throw ESockException(SockErrors::receiveErrorText(code));
            }
            if (received == 0) {
                report(siClosed, "Socket Disconnected On Receive");
                Close();
                if (m_onDisconnect)
                    m_onDisconnect(*this);
            } else {
                m_inBuffer.append(chunk.constData(), received);
            }
        }
        QByteArray all;
        all.swap(m_inBuffer);
        return all;
    }
    // Non-blocking: the read event has already filled the buffer.
    QByteArray taken;
    if (count < 0 || count >= m_inBuffer.size()) {
        taken.swap(m_inBuffer);
    } else {
        taken = m_inBuffer.left(count);
        m_inBuffer.remove(0, count);
    }
    if (m_inputHeld && m_inBuffer.size() < m_inputLimit) {
        m_inputHeld = false;
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    }
    return taken;
}

bool TSock::SendDatagram(const QByteArray& text, const QByteArray& host)
{
    if (m_handle < 0)
        throw ESockException("SendDatagram - Socket Not Connected");
    if (m_socketType == stStream)
        throw ESockException("SendDatagram - Datagram Send Not Supported On Stream Sockets");
    setHostName(host);
    if (!text.isEmpty()) {
        ::sendto(m_handle, text.constData(), static_cast<size_t>(text.size()), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target);
    }
    return true;
}

QByteArray TSock::ReceiveDatagram(QByteArray& sender)
{
    if (m_handle < 0)
        throw ESockException("ReceiveDatagram - Socket Not Connected");
    if (m_socketType == stStream)
        throw ESockException("ReceiveDatagram - Datagram Receive Not Supported On Stream Sockets");
    sender.clear();
    QByteArray datagram;
    if (Connected() && waitReadable()) {
        QByteArray chunk(kReceiveSize, Qt::Uninitialized);
        socklen_t length = sizeof m_remote;
        const ssize_t received = ::recvfrom(m_handle, chunk.data(), kReceiveSize, MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr*>(&m_remote), &length);
        if (received > 0) {
            datagram = chunk.left(received);
            sender = RemoteAddress();
        }
    }
    // The platform announces the next datagram once this one has been taken.
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    return datagram;
}

void TSock::CloseWhenSent()
{
    if (m_handle < 0 || m_draining)
        return;
    if (m_listen || m_socketType != stStream || m_blocking || PeerGone()) {
        Close();
        return;
    }
    m_connected = false;
    m_draining = true;
    m_inBuffer.clear();
    m_inputHeld = false;
    if (!m_drainTimer) {
        m_drainTimer = new QTimer(this);
        m_drainTimer->setSingleShot(true);
        connect(m_drainTimer, &QTimer::timeout, this, [this] {
            if (m_draining)
                Close();
        });
    }
    m_drainTimer->start(DrainMs);
    // The read side stays watched: what arrives is discarded, and the peer's end finishes the
    // drain early.
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    if (m_outBuffer.isEmpty())
        shutdownSending();
    // Otherwise the write events send the rest first (onWritable).
}

void TSock::shutdownSending()
{
    if (m_sendingShut)
        return;
    m_sendingShut = true;
    ::shutdown(m_handle, SHUT_WR);
}

// Reads and drops what the peer sends while a close waits for the reply to go out. The peer's
// end of the stream, or an error, ends the drain.
void TSock::drainInput()
{
    char scratch[16384];
    // A few reads per event: a peer that keeps sending must not hold the event loop here.
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t received = ::recv(m_handle, scratch, sizeof scratch, 0);
        if (received > 0)
            continue;
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        Close();
        return;
    }
}
