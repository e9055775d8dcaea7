#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>

#include <functional>

class Pacing;
class QSslSocket;

// One TCP or TLS connection to a carrier, for a TAP exchange or a WCTP request. It lives on the
// thread that creates it (or that it is moved to with its owner, before open), and so does its
// socket, made anew by each open; every wait is bounded by a time counter and keeps that
// thread's event loop running, so a close from a handler (a cancel) ends it at once.
//
// TLS verifies the carrier: its certificate must lead to one of the system's CAs or of the
// route's CA file, and must name the host connected to.
class CarrierConnection final : public QObject
{
    Q_OBJECT

public:
    // Received bytes held at most: beyond them the socket stops reading and the carrier is
    // held back.
    static constexpr qsizetype kInputLimit = 64 * 1024;

    explicit CarrierConnection(QObject* parent = nullptr);
    ~CarrierConnection() override;

    void setPacing(const Pacing& pacing) { m_pacing = &pacing; }
    const Pacing& pacing() const { return *m_pacing; }

    // Connects, with TLS when asked. True: connected (and the carrier verified). False: it
    // failed, failure() says why, or it was cancelled by close() meanwhile (aborted()).
    bool open(const QString& host, quint16 port, bool tls, const QString& caFile,
              int timeOutSeconds);
    bool isOpen() const;
    // Why the last open failed, or why the connection ended from the far side.
    const QByteArray& failure() const { return m_failure; }

    // Set by close() on a connection that was open or opening, and by setAborted(); cleared by
    // open(). A connection the carrier ended is not aborted.
    bool aborted() const { return m_aborted; }
    void setAborted() { m_aborted = true; }

    // Hands the bytes to the connection and pushes them on their way. False when it is not open.
    bool write(const QByteArray& bytes);
    // What has arrived since the last call (kept across the end of the connection).
    QByteArray takeReceived();

    // Checks `done`, and while it does not hold and the connection is open, blocks in the event
    // loop until something happens, for at most `timeOutSeconds`. True when `done` held.
    bool waitFor(int timeOutSeconds, const std::function<bool()>& done);

    // Ends the connection: what was written is sent first (TLS: and the close announced), for
    // at most a few seconds, then the socket is closed.
    void close();
    // Drops the connection at once, unsent bytes and all; counts as a cancel.
    void abort();

private:
    void readSocket();
    bool tlsConfigured(QSslSocket& socket, const QString& caFile);

    const Pacing* m_pacing;
    QPointer<QTcpSocket> m_socket;
    bool m_tls = false;
    bool m_aborted = false;
    QByteArray m_failure;
    QByteArray m_input;
};
