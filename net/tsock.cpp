#include "net/tsock.h"

#include "foundation/convert.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "net/esockexception.h"
#include "net/hostcache.h"
#include "net/tsockstream.h"
#include "net/tzyras.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// As many waiting connections as the platform allows: a burst of workstations connecting at
// once waits in the backlog while the server is busy, instead of being refused.
constexpr int kListenBacklog = SOMAXCONN;

void setNonBlockingMode(int handle, bool nonBlocking)
{
    const int flags = fcntl(handle, F_GETFL, 0);
    if (flags < 0)
        return;
    fcntl(handle, F_SETFL, nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

} // namespace

TSock::TSock(QObject* parent)
    : QObject(parent), m_stream(std::make_unique<TSockStream>(*this)),
      m_pacing(&Pacing::standard()), m_hostCache(&HostCache::shared()),
      m_timeCounter(new TTimeCounter(*m_pacing, this))
{
    m_target.sin_family = AF_INET;
    m_remote.sin_family = AF_INET;
}

void TSock::setPacing(const Pacing& pacing)
{
    m_pacing = &pacing;
    m_timeCounter->setPacing(pacing);
}

// A connection object for a socket the listener accepted: it starts connected, registered as
// the listener's Blocking says, with the listener's data events unless it is to be served on a
// thread of its own (those events belong to the listener's thread).
TSock::TSock(TSock& listener, int handle, const sockaddr_in& peer) : TSock(&listener)
{
    m_listener = &listener;
    m_remote = peer;
    m_handle = handle;
    m_connected = true;
    m_firstWritePending = true;
    setBlocking(listener.m_blocking);
    m_blockingTimeout = listener.m_blockingTimeout;
    setPacing(*listener.m_pacing);
    m_hostCache = listener.m_hostCache;
    m_ras = listener.m_ras;
    if (listener.m_blocking)
        return;
    m_onRead = listener.m_onRead;
    m_onWrite = listener.m_onWrite;
    m_onDisconnect = listener.m_onDisconnect;
    m_onInfo = listener.m_onInfo;
    m_onFileProgress = listener.m_onFileProgress;
}

TSock::~TSock()
{
    // Release raises no events: the owner whose handlers they are may be half destroyed.
    m_onConnect = {};
    m_onDisconnect = {};
    m_onInfo = {};
    m_onRead = {};
    m_onWrite = {};
    m_onAccept = {};
    m_onAutoAccept = {};
    m_onFileProgress = {};
    m_onRefuse = {};
    if (m_handle >= 0)
        Close();
    if (m_spareHandle >= 0)
        ::close(m_spareHandle);
    stopServingThreads();
    // The own dial-up object, the counter and every accepted connection are children and go
    // with the QObject base: a listener thereby closes the connections still open.
}

void TSock::report(TSocketInfo info, const QByteArray& msg)
{
    if (m_onInfo)
        m_onInfo(*this, info, msg);
}

void TSock::setSocketType(TSocketType type)
{
    if (m_listen)
        throw ESockException("SocketType - Can't Assign Socket Type While Listening");
    if (Connected())
        throw ESockException("SocketType - Can't Assign Socket Type While Connected");
    m_socketType = type;
}

void TSock::setHostName(const QByteArray& name)
{
    if (Connected()) {
        if (m_socketType == stStream) {
            report(siLookup, "Setting HostName While Connected Has No Effect");
        } else {
            // Later datagrams go to the new host.
            m_target.sin_addr.s_addr = LookupHost(name);
        }
    }
    m_hostName = name;
}

void TSock::setPortName(const QByteArray& name)
{
    if (Connected())
        report(siLookup, "Setting PortName While Connected Has No Effect");
    m_portName = name;
}

TzyRas* TSock::RAS() const
{
    return m_ras.data();
}

void TSock::setRAS(TzyRas* ras)
{
    m_ras = ras;
}

void TSock::setBlocking(bool blocking)
{
    m_blocking = blocking;
    registerHandle();
}

bool TSock::Connected()
{
    if (m_handle < 0)
        m_connected = false;
    return m_connected;
}

// Registration: a non-blocking socket, and every listener, is watched by notifiers (the accept
// event only on a listener, the read event only on a datagram socket, all events on a stream
// socket); a blocking one is put back into blocking mode and watched by nothing.
void TSock::registerHandle()
{
    removeNotifiers();
    if (m_handle < 0)
        return;
    if (m_blocking && !m_listen) {
        setNonBlockingMode(m_handle, false);
        return;
    }
    setNonBlockingMode(m_handle, true);
    m_readNotifier = new QSocketNotifier(m_handle, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TSock::onReadable);
    if (m_listen) {
        m_readNotifier->setEnabled(!m_acceptPaused);
        return;
    }
    if (m_socketType == stStream) {
        m_writeNotifier = new QSocketNotifier(m_handle, QSocketNotifier::Write, this);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, &TSock::onWritable);
        // Until a connect completes there is nothing to read, and a failed connect would make
        // the socket readable for ever.
        m_readNotifier->setEnabled(!m_connecting);
        updateWriteNotifier();
    }
}

void TSock::removeNotifiers()
{
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
}

// The platform posts a write event once after a connect or accept, and then only when output
// that could not all be sent can go on.
void TSock::updateWriteNotifier()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_connecting || m_firstWritePending ||
                                    (!m_outBuffer.isEmpty() && !m_sendBroken));
}

void TSock::closeHandle()
{
    removeNotifiers();
    {
        const std::lock_guard lock(m_handleLock);
        if (m_handle >= 0)
            ::close(m_handle);
        m_handle = -1;
    }
    m_connecting = false;
    m_firstWritePending = false;
    m_sendBroken = false;
    m_peerGone = false;
    m_draining = false;
    m_sendingShut = false;
}

bool TSock::Close()
{
    removeNotifiers();
    bool closed = false;
    {
        const std::lock_guard lock(m_handleLock);
        closed = m_handle >= 0 && ::close(m_handle) == 0;
        m_handle = -1;
    }
    m_connected = false;
    m_connecting = false;
    m_firstWritePending = false;
    m_sendBroken = false;
    m_peerGone = false;
    m_draining = false;
    m_sendingShut = false;
    if (m_drainTimer)
        m_drainTimer->stop();
    if (!m_listen)
        report(siClosed, "Socket Closed");
    m_listen = false;
    scheduleRelease();
    return closed;
}

void TSock::setListen(bool listen)
{
    const bool wasListening = m_listen;
    if (m_handle >= 0 && !wasListening) {
        m_listen = false;
        throw ESockException("Listen - Socket Already In Use");
    }
    if (m_socketType == stDatagram && listen) {
        m_listen = false;
        throw ESockException("Listen - Cannot Listen On A Datagram Socket");
    }
    m_listen = listen;
    if (!listen) {
        Close();
        report(siListening, "Listening Stopped");
        return;
    }
    if (wasListening) {
        report(siListening, "Listening Already Running");
        return;
    }
    createListenSocket();
    report(siListening, "Listening Started");
}

// Any failure closes the new socket and leaves Listen off, so the next attempt starts afresh.
void TSock::createListenSocket()
{
    try {
        m_target.sin_family = AF_INET;
        m_target.sin_port = LookupPort(m_portName);
        m_target.sin_addr.s_addr = htonl(INADDR_ANY);
    } catch (...) {
        m_listen = false;
        throw;
    }
    m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_handle < 0) {
        m_listen = false;
        throw ESockException("Listen - Error Binding Socket");
    }
    // Restarting the listener must find its port free even while earlier connections of that
    // port linger in TIME_WAIT; two listeners still cannot share a port.
    const int reuse = 1;
    setsockopt(m_handle, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    registerHandle();
    m_listen = false;
    if (::bind(m_handle, reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target) != 0) {
        closeHandle();
        throw ESockException("Listen - Error Binding Socket");
    }
    if (::listen(m_handle, kListenBacklog) != 0) {
        closeHandle();
        throw ESockException("Listen - Error Starting Listen");
    }
    m_listen = true;
    if (m_spareHandle < 0)
        m_spareHandle = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

void TSock::setAcceptPaused(bool paused)
{
    m_acceptPaused = paused;
    if (m_listen && m_readNotifier)
        m_readNotifier->setEnabled(!paused);
}

bool TSock::Open()
{
    if (m_handle >= 0)
        return Connected();
    const int type = m_socketType == stStream ? SOCK_STREAM : SOCK_DGRAM;
    m_handle = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (m_handle < 0)
        return false;
    try {
        if (m_ras)
            dialBeforeConnect();
        m_target.sin_family = AF_INET;
        m_target.sin_port = LookupPort(m_portName);
        m_target.sin_addr.s_addr =
            m_socketType == stStream ? LookupHost(m_hostName) : LookupHost(QByteArray());
    } catch (...) {
        // A failed dial or lookup leaves no half-made socket behind: the next Open tries again.
        closeHandle();
        throw;
    }
    if (m_socketType == stStream) {
        connectStream();
    } else {
        registerHandle();
        if (::bind(m_handle, reinterpret_cast<const sockaddr*>(&m_target), sizeof m_target) == 0) {
            m_connected = true;
            report(siConnected, "Datagram Socket Connected");
            if (m_onConnect)
                m_onConnect(*this);
        }
    }
    return Connected();
}

void TSock::connectStream()
{
    const auto* address = reinterpret_cast<const sockaddr*>(&m_target);
    if (m_blocking) {
        registerHandle();
        if (::connect(m_handle, address, sizeof m_target) != 0) {
            report(siClosed, "Blocking Socket Can't Connect");
            Close();
            return;
        }
        m_connected = true;
        report(siConnected, "Blocking Socket Connected");
        if (m_onConnect)
            m_onConnect(*this);
        return;
    }
    m_connecting = true;
    registerHandle();
    if (::connect(m_handle, address, sizeof m_target) != 0 && errno != EINPROGRESS)
        postConnectFailure(errno);
}

void TSock::dialBeforeConnect()
{
    if (!m_ownRas)
        m_ownRas = new TzyRas(this, m_ras->platform(), m_ras->prompts());
    m_ownRas->setPacing(m_ras->pacing());
    m_ownRas->setForceService(m_ras->ForceService());
    m_ownRas->setPassword(m_ras->Password());
    m_ownRas->setService(m_ras->Service());
    m_ownRas->setMinimizeAtConnect(m_ras->MinimizeAtConnect());
    m_ownRas->setRemovePassword(m_ras->RemovePassword());
    m_ownRas->setTag(m_ras->Tag());
    m_ownRas->setTimeOut(m_ras->TimeOut());
    m_ownRas->Dial();
    // Without a dial-up library no connection can ever be seen: there is nothing to wait for.
    if (!m_ras->platform()->hasFunction(IRasPlatform::Function::EnumConnections))
        return;
    m_timeCounter->setTimeOut(m_ownRas->TimeOut());
    // Each dial gets its own bound, also after an earlier one timed out.
    m_timeCounter->setTimedOut(false);
    m_timeCounter->Start();
    waitUntil(*m_timeCounter, [this] { return !m_ras || m_ras->IsConnected(); });
    m_timeCounter->Stop();
}
