#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <netinet/in.h>

class HostCache;
class Pacing;
class QSocketNotifier;
class QTimer;
class TSockStream;
class TTimeCounter;
class TzyRas;

// One IPv4 socket, stream or datagram, with byte-string send and receive, a listening mode
// that accepts connections and hands each to the owner as a new TSock, and notification events.
//
// Everything runs on the one user-interface thread. A non-blocking socket is driven by
// notifiers of the event loop: readable is the read event (the accept event on a listener),
// writable is the connect event after a connect and the write event while output waits, and
// the end of the stream is the close event. Errors that arrive that way are never raised; they
// are reported through OnInfo as "Error #" + WinSock code + " (" + name + ")".
//
// A listener raises OnAutoAccept inside its accept notification. The handler may run the event
// loop (its waits), so a second client is accepted and served to its end inside the first
// one's wait: last in, first out. Connection objects belong to their listener, which releases
// each once its handler has returned and its socket is closed.
//
// A blocking listener is the one exception to the single thread. It still accepts on its own
// thread, but serves each connection on a thread of its own, and the contract is:
// - OnAutoAccept runs on the connection's thread, for several connections at once. It may use
//   the connection it is given (blocking Send, Receive, Close, the connection's own events)
//   and whatever it synchronises itself; nothing of the listener or of the owner's thread.
//   An exception it lets escape closes its connection.
// - The connection starts without events: the listener's OnInfo, OnRead and the like are not
//   taken over, as they would run on the connection's thread. The handler sets its own.
// - The listener's Pacing and host cache are shared with the connection and must not change
//   while connections are served.
// - Until its handler has returned the connection belongs to its thread; the listener reads
//   none of its state and releases it only afterwards, on the listener's thread.
// - Releasing the listener shuts the served connections down, which ends their blocking sends
//   and receives, and waits for every handler to return. A handler must therefore return once
//   its connection is shut. Closing a connection and shutting it down take the connection's
//   handle lock, so the listener never shuts a descriptor that was closed and given out anew.
class TSock final : public QObject
{
    Q_OBJECT

public:
    enum TSocketType { stStream, stDatagram };
    enum TLineBreak { lbCRLF, lbCR, lbLF, lbSmart };
    enum TSocketInfo {
        siLookup,
        siConnected,
        siClosed,
        siListening,
        siIncoming,
        siOutgoing,
        siError
    };

    using NotifyEvent = std::function<void(TSock& sender)>;
    using InfoEvent = std::function<void(TSock& sender, TSocketInfo info, const QByteArray& msg)>;
    using ReadEvent = std::function<void(TSock& sender, int count)>;
    using AutoAcceptEvent = std::function<void(TSock& listener, TSock& client)>;
    using ProgressEvent = std::function<void(TSock& sender, qint64 count)>;
    using RefuseEvent = std::function<void(TSock& listener, const QByteArray& address)>;

    explicit TSock(QObject* parent = nullptr);
    ~TSock() override;

    // Properties.
    TSocketType SocketType() const { return m_socketType; }
    void setSocketType(TSocketType type);
    const QByteArray& HostName() const { return m_hostName; }
    void setHostName(const QByteArray& name);
    const QByteArray& PortName() const { return m_portName; }
    void setPortName(const QByteArray& name);
    bool Blocking() const { return m_blocking; }
    void setBlocking(bool blocking);
    bool AutoAccept() const { return m_autoAccept; }
    void setAutoAccept(bool autoAccept) { m_autoAccept = autoAccept; }
    bool Listen() const { return m_listen; }
    void setListen(bool listen);
    TLineBreak LineBreak() const { return m_lineBreak; }
    void setLineBreak(TLineBreak lineBreak) { m_lineBreak = lineBreak; }
    qint32 BlockingTimeout() const { return m_blockingTimeout; }
    void setBlockingTimeout(qint32 seconds) { m_blockingTimeout = seconds; }
    qint32 BytesAvailable() const { return static_cast<qint32>(m_inBuffer.size()); }
    // The durations of the socket's waits (the blocking time-out, the dial-up wait, the rest
    // after accepting failed); standard unless given. Connections a listener accepts take its
    // Pacing and host cache.
    void setPacing(const Pacing& pacing);
    const Pacing& pacing() const { return *m_pacing; }
    // The cache host names are looked up through; the process's shared one unless given.
    void setHostCache(HostCache& cache) { m_hostCache = &cache; }
    // A dial-up entry to dial before connecting; cleared when that object is released.
    TzyRas* RAS() const;
    void setRAS(TzyRas* ras);

    // Events; an unset event is skipped.
    void setOnConnect(NotifyEvent handler) { m_onConnect = std::move(handler); }
    void setOnDisconnect(NotifyEvent handler) { m_onDisconnect = std::move(handler); }
    void setOnInfo(InfoEvent handler) { m_onInfo = std::move(handler); }
    void setOnRead(ReadEvent handler) { m_onRead = std::move(handler); }
    void setOnWrite(NotifyEvent handler) { m_onWrite = std::move(handler); }
    void setOnAccept(NotifyEvent handler) { m_onAccept = std::move(handler); }
    void setOnAutoAccept(AutoAcceptEvent handler) { m_onAutoAccept = std::move(handler); }
    void setOnFileProgress(ProgressEvent handler) { m_onFileProgress = std::move(handler); }
    // A listener took a connection and closed it at once because descriptors ran short; the
    // address is the peer's, dotted.
    void setOnRefuse(RefuseEvent handler) { m_onRefuse = std::move(handler); }

    // Connects (stream) or binds (datagram); true when connected afterwards. A non-blocking
    // connect returns false and completes later with the connect event.
    bool Open();
    // Closes the socket handle; true when the platform closed it without error. The input and
    // output buffers are kept.
    bool Close();
    bool Connected();
    // True once the peer has gone away abortively: the platform reported a reset (which, as a
    // notification, leaves the connection open and Connected on), or refused output because
    // the peer is gone. Nothing more will arrive; the owner should close the connection.
    bool PeerGone() const { return m_peerGone || m_sendBroken; }
    // Closes a stream connection whose last reply must reach the peer, also a peer that is still
    // sending: stops taking input, sends what waits in the output buffer, shuts the sending
    // side (the peer reads the reply and then the end of the stream), and discards whatever the
    // peer still sends until it closes too or DrainMs pass; only then is the socket closed.
    // Closing at once with unread input would make the platform answer with a reset, which
    // may destroy the reply before the peer has read it. Connected is off from the call on.
    void CloseWhenSent();
    static constexpr int DrainMs = 1000;

    bool Send(const QByteArray& text);
    bool SendLine(const QByteArray& text);
    QByteArray Receive();
    QByteArray ReceiveCount(int count);
    bool SendDatagram(const QByteArray& text, const QByteArray& host);
    QByteArray ReceiveDatagram(QByteArray& sender);

    // The dotted address of the local host's first IPv4 address, or "0.0.0.0".
    static QByteArray LocalAddress();
    // The dotted address of the remote address record (the peer of the last accept or datagram).
    QByteArray RemoteAddress() const;
    // The dotted address of this connection's own end: the address the peer reached this host
    // by. Needs no lookup; "0.0.0.0" without a connection.
    QByteArray LocalSocketAddress() const;

    // An auto-accepting listener keeps this many descriptors free for the rest of the program
    // (queue and log files, lookups, the serial port, error notices, the toolkit). A connection
    // that would leave fewer is taken and closed at once, so its client learns at once instead
    // of waiting in the backlog, and the program never runs out in the middle of its work.
    static constexpr int DescriptorReserve = 16;

    // Lookups that report through OnInfo ("Lookup Of Host ...", "Lookup Of Port ...").
    // Addresses and ports are in network byte order.
    quint32 LookupHost(const QByteArray& name);
    quint16 LookupPort(const QByteArray& name);

    // The byte-stream view of this socket.
    TSockStream& Stream() const { return *m_stream; }

    // The port the socket is bound to (host byte order), 0 without a socket. A listener on
    // port "0" gets a free port from the platform; this tells which.
    quint16 LocalPort() const;
    // While paused, a listener accepts nothing: new connections wait in the listen backlog
    // until accepting is resumed. Lets the owner bound how many conversations run nested.
    void setAcceptPaused(bool paused);
    bool AcceptPaused() const { return m_acceptPaused; }
    // The most a stream connection keeps unread. At the limit it stops reading, so a peer that
    // sends faster than the owner takes the bytes is held back by the platform instead of
    // filling memory; reading resumes once the owner has taken bytes. 0 means no limit.
    void setInputLimit(qsizetype bytes) { m_inputLimit = bytes > 0 ? bytes : 0; }
    qsizetype InputLimit() const { return m_inputLimit; }

private:
    TSock(TSock& listener, int handle, const sockaddr_in& peer);

    void report(TSocketInfo info, const QByteArray& msg);
    void registerHandle();
    void removeNotifiers();
    void updateWriteNotifier();
    void closeHandle();
    void createListenSocket();
    void dialBeforeConnect();
    void connectStream();
    bool waitReadable();
    int receiveOnce(int size);
    // Offers the output buffer to the platform once, without blocking.
    void offerOutput();
    void shutdownSending();
    void acknowledgeAtOnce();
    void drainInput();

    // Notifications.
    void onReadable();
    void onWritable();
    void connectEvent(int error);
    void closeEvent(int error);
    void acceptEvent();
    void restAccepting();
    bool descriptorsShort(int handle) const;
    void refuse(int handle, const sockaddr_in& peer);
    void takeAndRefuse();
    void postConnectFailure(int error);
    void releaseFinishedConnections();
    void serveOnThread(const AutoAcceptEvent& handler, TSock& client);
    Q_INVOKABLE void joinFinishedThreads();
    void stopServingThreads();
    void scheduleRelease();

    class DispatchGuard;

    QPointer<TzyRas> m_ras;
    TzyRas* m_ownRas = nullptr;
    sockaddr_in m_target{};
    sockaddr_in m_remote{};
    TSocketType m_socketType = stStream;
    TLineBreak m_lineBreak = lbSmart;
    QByteArray m_hostName;
    QByteArray m_portName;
    int m_handle = -1;
    // Held while the handle is closed, and by a blocking listener while it shuts the handle of
    // a connection served on another thread.
    std::mutex m_handleLock;
    QByteArray m_inBuffer;
    QByteArray m_outBuffer;
    bool m_listen = false;
    bool m_blocking = false;
    bool m_autoAccept = false;
    bool m_connected = false;
    qint32 m_blockingTimeout = 0;
    std::unique_ptr<TSockStream> m_stream;
    const Pacing* m_pacing;
    HostCache* m_hostCache;
    TTimeCounter* m_timeCounter;

    NotifyEvent m_onConnect;
    NotifyEvent m_onDisconnect;
    InfoEvent m_onInfo;
    ReadEvent m_onRead;
    NotifyEvent m_onWrite;
    NotifyEvent m_onAccept;
    AutoAcceptEvent m_onAutoAccept;
    ProgressEvent m_onFileProgress;
    RefuseEvent m_onRefuse;

    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    // A non-blocking connect is under way; its end arrives as the connect event.
    bool m_connecting = false;
    // The platform's first write event after a connect or accept has not been delivered yet.
    bool m_firstWritePending = false;
    // The platform refused output for good (the peer is gone); the end of the connection is
    // reported by the read side, and waiting output is no longer offered.
    bool m_sendBroken = false;
    // The platform reported the end of the connection with an error (a reset).
    bool m_peerGone = false;
    // CloseWhenSent is under way: output is flushed, input discarded, until the drain ends.
    bool m_draining = false;
    bool m_sendingShut = false;
    QTimer* m_drainTimer = nullptr;
    bool m_acceptPaused = false;
    qsizetype m_inputLimit = 0;
    // Reading stopped because the input buffer reached the limit.
    bool m_inputHeld = false;
    // A listener's spare descriptor: given up for a moment when accepting fails for want of
    // descriptors, so the waiting connection can be taken and closed instead of left waiting.
    int m_spareHandle = -1;
    // Set on connection objects: the listener that accepted them.
    TSock* m_listener = nullptr;
    // The listener's OnAutoAccept for this connection is still running.
    bool m_handlerRunning = false;
    // Notifications of this object under way on the stack (they may run nested event loops).
    int m_dispatchDepth = 0;
    bool m_releaseScheduled = false;
    // Threads serving the connections of a blocking listener, each with its connection.
    struct ServingThread
    {
        TSock* connection;
        std::thread thread;
    };
    std::vector<ServingThread> m_servingThreads;
    // The connections whose handlers have returned, reported by their threads.
    std::mutex m_finishedLock;
    std::vector<TSock*> m_finishedConnections;
};
