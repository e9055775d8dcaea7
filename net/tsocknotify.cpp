// The network notifications of TSock (read, write, connect, close, accept) and the release of
// the connection objects a listener creates.

#include "net/tsock.h"

#include "foundation/pacing.h"
#include "net/errorname.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kReceiveSize = 32768;

// Error codes up to this value (0 means none) come with ordinary events.
constexpr int kLastNonError = 10000;

} // namespace

// Marks a notification of this object as running, so that the object is not released under it
// while its handlers run nested event loops.
class TSock::DispatchGuard final
{
public:
    explicit DispatchGuard(TSock& sock) : m_sock(&sock) { ++sock.m_dispatchDepth; }
    ~DispatchGuard()
    {
        if (!m_sock)
            return;
        if (--m_sock->m_dispatchDepth == 0 && m_sock->m_handle < 0)
            m_sock->scheduleRelease();
    }
    DispatchGuard(const DispatchGuard&) = delete;
    DispatchGuard& operator=(const DispatchGuard&) = delete;

private:
    QPointer<TSock> m_sock;
};

void TSock::onReadable()
{
    DispatchGuard guard(*this);
    if (m_listen) {
        acceptEvent();
        return;
    }
    if (m_draining) {
        drainInput();
        return;
    }
    if (m_socketType == stDatagram) {
        // The datagram stays with the platform until ReceiveDatagram, which re-arms the event.
        m_readNotifier->setEnabled(false);
        if (auto handler = m_onRead)
            handler(*this, BytesAvailable());
        return;
    }
    // Everything the platform holds is taken (up to the input limit), a receive of at most
    // kReceiveSize at a time: a text that arrived whole is then buffered whole, also when it is
    // larger than one receive.
    qsizetype taken = 0;
    ssize_t received = 0;
    int failure = 0;
    for (;;) {
        qsizetype room = kReceiveSize;
        if (m_inputLimit > 0) {
            room = std::min(room, m_inputLimit - m_inBuffer.size());
            if (room <= 0) {
                // Held until the owner takes bytes; the peer waits in the platform's buffers.
                m_inputHeld = true;
                m_readNotifier->setEnabled(false);
                break;
            }
        }
        QByteArray chunk(room, Qt::Uninitialized);
        do {
            received = ::recv(m_handle, chunk.data(), static_cast<size_t>(room), 0);
        } while (received < 0 && errno == EINTR);
        if (received < 0)
            failure = errno;
        if (received > 0) {
            m_inBuffer.append(chunk.constData(), received);
            taken += received;
        }
        // A short receive took all there was; the end of the stream or an error after bytes
        // is reported by the next read event, once the bytes have been announced.
        if (received < room)
            break;
    }
    if (taken > 0) {
        acknowledgeAtOnce();
        QPointer<TSock> self(this);
        report(siIncoming, "Non-Blocking Incoming Data");
        if (!self)
            return;
        if (auto handler = m_onRead)
            handler(*this, BytesAvailable());
        return;
    }
    if (m_inputHeld)
        return;
    if (received == 0) {
        closeEvent(0);
    } else if (failure != EAGAIN && failure != EWOULDBLOCK) {
        closeEvent(SockErrors::fromErrno(failure));
    }
}

// A peer's stack may hold back the small tail of a write until the part before it has been
// acknowledged (Nagle), while this side delays acknowledgements in the hope of sending them with
// a reply. Acknowledging at once what arrived on an accepted connection lets the tail follow
// within a round trip, so a text written at once arrives at once. The platform falls back to
// delaying after each reply, so this is renewed after every receive.
void TSock::acknowledgeAtOnce()
{
    if (!m_listener)
        return;
    const int on = 1;
    setsockopt(m_handle, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

void TSock::onWritable()
{
    DispatchGuard guard(*this);
    QPointer<TSock> self(this);
    if (m_connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &error, &length);
        connectEvent(error != 0 ? SockErrors::fromErrno(error) : 0);
        // The platform follows a successful connect with the first write event at once.
        if (!self || !m_connected)
            return;
    }
    m_firstWritePending = false;
    if (m_draining) {
        // A close waits for the last reply: send the rest, then shut the sending side.
        if (!m_outBuffer.isEmpty())
            offerOutput();
        if (m_sendBroken) {
            Close();
            return;
        }
        if (m_outBuffer.isEmpty())
            shutdownSending();
        updateWriteNotifier();
        return;
    }
    if (!m_outBuffer.isEmpty() && m_handle >= 0)
        Send(QByteArray());
    if (!self)
        return;
    report(siOutgoing, "Non-Blocking Outgoing Data");
    if (!self)
        return;
    if (auto handler = m_onWrite)
        handler(*this);
    if (self)
        updateWriteNotifier();
}

void TSock::connectEvent(int error)
{
    m_connecting = false;
    if (error > kLastNonError) {
        // The socket stays until its owner closes it; it has nothing more to tell.
        removeNotifiers();
        report(siError, SockErrors::errorNotice(error));
        return;
    }
    m_connected = true;
    m_firstWritePending = true;
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
    updateWriteNotifier();
    QPointer<TSock> self(this);
    report(siConnected, "Non-Blocking Socket Connected");
    if (!self)
        return;
    if (auto handler = m_onConnect)
        handler(*this);
}

// A connect that failed at once is reported like one that fails later: as a notification from
// the event loop, never from inside Open.
void TSock::postConnectFailure(int error)
{
    removeNotifiers();
    const int code = SockErrors::fromErrno(error);
    const int handle = m_handle;
    QMetaObject::invokeMethod(
        this,
        [this, code, handle] {
            if (m_handle == handle && m_connecting) {
                DispatchGuard guard(*this);
                connectEvent(code);
            }
        },
        Qt::QueuedConnection);
}

void TSock::closeEvent(int error)
{
    // The platform announces the end of a connection once; the socket stays readable at its
    // end, so it is not watched any more.
    removeNotifiers();
    if (error > kLastNonError) {
        // A reset is only reported: the connection object stays connected until its owner
        // closes it, and PeerGone tells the owner that nothing more will come.
        m_peerGone = true;
        report(siError, SockErrors::errorNotice(error));
        return;
    }
    QPointer<TSock> self(this);
    if (auto handler = m_onDisconnect)
        handler(*this);
    if (self)
        Close();
}

void TSock::acceptEvent()
{
    if (!(m_autoAccept && m_onAutoAccept)) {
        // The platform announces the next connection only after this one was taken.
        m_readNotifier->setEnabled(false);
        if (auto handler = m_onAccept)
            handler(*this);
        return;
    }
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int handle =
        ::accept4(m_handle, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (handle < 0) {
        if (errno == EMFILE && m_spareHandle >= 0) {
            takeAndRefuse();
            return;
        }
        // Out of descriptors or memory, the connection stays waiting and the listener stays
        // readable: accepting rests for a second instead of spinning until resources free up.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            restAccepting();
        return; // otherwise the client went away before it was taken
    }
    if (descriptorsShort(handle)) {
        refuse(handle, peer);
        return;
    }
    m_remote = peer;
    QPointer<TSock> self(this);
    QPointer<TSock> client = new TSock(*this, handle, peer);
    client->setPortName(m_portName);
    client->setHostName(RemoteAddress());
    AutoAcceptEvent handler = m_onAutoAccept;
    client->m_handlerRunning = true;
    if (m_blocking) {
        serveOnThread(handler, *client);
        return;
    }
    struct HandlerDone
    {
        QPointer<TSock>& listener;
        QPointer<TSock>& connection;
        ~HandlerDone()
        {
            if (connection)
                connection->m_handlerRunning = false;
            if (listener)
                listener->releaseFinishedConnections();
        }
    } done{self, client};
    handler(*this, *client);
}

// A blocking listener serves each connection on a thread of its own, with blocking receives
// (the contract is in the header). The connection is released on this thread once the handler
// has returned and its thread has ended.
void TSock::serveOnThread(const AutoAcceptEvent& handler, TSock& client)
{
    TSock* connection = &client;
    std::thread thread([this, handler, connection] {
        try {
            handler(*this, *connection);
        } catch (...) {
            // An error the handler let escape ends its conversation, not the program.
            connection->Close();
        }
        {
            const std::lock_guard lock(m_finishedLock);
            m_finishedConnections.push_back(connection);
        }
        // Wakes the listener's thread; what it needs to know passes through the lock above.
        QMetaObject::invokeMethod(this, "joinFinishedThreads", Qt::QueuedConnection);
    });
    m_servingThreads.push_back({connection, std::move(thread)});
}

// On the listener's thread, after handlers have returned: their threads are joined before
// anything of their connections is touched here.
void TSock::joinFinishedThreads()
{
    std::vector<TSock*> finished;
    {
        const std::lock_guard lock(m_finishedLock);
        finished.swap(m_finishedConnections);
    }
    for (TSock* connection : finished) {
        const auto serving = std::find_if(
            m_servingThreads.begin(), m_servingThreads.end(),
            [connection](const ServingThread& s) { return s.connection == connection; });
        if (serving == m_servingThreads.end())
            continue;
        serving->thread.join();
        m_servingThreads.erase(serving);
        connection->m_handlerRunning = false;
    }
    if (!finished.empty())
        releaseFinishedConnections();
}

// At release, handlers still running on their threads are woken from their blocking receives
// by shutting their connections down, and awaited. The handle is read under the connection's
// lock: its thread may be closing it at this moment.
void TSock::stopServingThreads()
{
    for (ServingThread& serving : m_servingThreads) {
        const std::lock_guard lock(serving.connection->m_handleLock);
        if (serving.connection->m_handle >= 0)
            ::shutdown(serving.connection->m_handle, SHUT_RDWR);
    }
    for (ServingThread& serving : m_servingThreads)
        serving.thread.join();
    m_servingThreads.clear();
    m_finishedConnections.clear();
}

bool TSock::descriptorsShort(int handle) const
{
    // Descriptors are handed out lowest first, so every one below a new handle is in use: a
    // handle this close to the limit leaves at most the reserve free.
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    return static_cast<rlim_t>(handle) + DescriptorReserve >= limit.rlim_cur;
}

void TSock::refuse(int handle, const sockaddr_in& peer)
{
    ::close(handle);
    m_remote = peer;
    if (auto handler = m_onRefuse)
        handler(*this, RemoteAddress());
}

// Every descriptor is in use: the spare one makes room to take the waiting connection and close
// it, so its client is not left waiting in the backlog and the listener does not spin on it.
void TSock::takeAndRefuse()
{
    ::close(m_spareHandle);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int handle =
        ::accept4(m_handle, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    m_spareHandle = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (handle >= 0)
        refuse(handle, peer);
    else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        restAccepting();
}

void TSock::restAccepting()
{
    m_readNotifier->setEnabled(false);
    QTimer::singleShot(m_pacing->scaled(1000), this, [this] {
        if (m_listen && m_readNotifier)
            m_readNotifier->setEnabled(!m_acceptPaused);
    });
}

// Releases the connection objects whose handler has returned, whose socket is closed and of
// which no notification is still running.
void TSock::releaseFinishedConnections()
{
    const QList<TSock*> connections = findChildren<TSock*>(Qt::FindDirectChildrenOnly);
    for (TSock* connection : connections) {
        // A connection whose handler still runs may be in use on its own thread: none of its
        // state is touched.
        if (connection->m_listener != this || connection->m_handlerRunning)
            continue;
        connection->m_releaseScheduled = false;
        if (connection->m_handle < 0 && !connection->m_handlerRunning &&
            connection->m_dispatchDepth == 0)
            delete connection;
    }
}

void TSock::scheduleRelease()
{
    // A connection's handler releases it when it returns; on a serving thread, this is also
    // the one test that keeps the connection away from the listener's state.
    if (!m_listener || m_handlerRunning || m_releaseScheduled)
        return;
    m_releaseScheduled = true;
    QMetaObject::invokeMethod(
        m_listener, [listener = m_listener] { listener->releaseFinishedConnections(); },
        Qt::QueuedConnection);
}
