#include "lines/carrierconnection.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"

#include <QSslConfiguration>
#include <QSslSocket>

namespace {

// How long the end of a connection may take to send what was written.
constexpr int kCloseSeconds = 5;

QByteArray bytesOf(const QString& text)
{
    return text.toUtf8();
}

} // namespace

CarrierConnection::CarrierConnection(QObject* parent)
    : QObject(parent), m_pacing(&Pacing::standard())
{
}

CarrierConnection::~CarrierConnection()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

bool CarrierConnection::open(const QString& host, quint16 port, bool tls, const QString& caFile,
                             int timeOutSeconds)
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        // A wait further out may still hold it; it goes once control is back in the loop.
        m_socket->deleteLater();
    }
    m_aborted = false;
    m_failure.clear();
    m_input.clear();
    m_tls = tls;

    if (tls && !QSslSocket::supportsSsl()) {
        m_failure = "TLS is not available on this system";
        return false;
    }
    QTcpSocket* socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket = socket;
    socket->setReadBufferSize(kInputLimit);
    connect(socket, &QTcpSocket::readyRead, this, &CarrierConnection::readSocket);
    connect(socket, &QTcpSocket::disconnected, this, &CarrierConnection::readSocket);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] {
        if (m_failure.isEmpty() && socket == m_socket)
            m_failure = bytesOf(socket->errorString());
    });

    if (tls) {
        auto* tlsSocket = static_cast<QSslSocket*>(socket);
        if (!tlsConfigured(*tlsSocket, caFile))
            return false;
        // A certificate that does not check out ends the handshake, with these reasons.
        connect(tlsSocket, &QSslSocket::sslErrors, this,
                [this, socket](const QList<QSslError>& errors) {
                    if (socket != m_socket)
                        return;
                    QByteArray why;
                    for (const QSslError& error : errors) {
                        if (!why.isEmpty())
                            why += "; ";
                        why += bytesOf(error.errorString());
                    }
                    m_failure = why;
                });
        tlsSocket->connectToHostEncrypted(host, port);
    } else {
        socket->connectToHost(host, port);
    }

    TTimeCounter counter(*m_pacing);
    counter.setTimeOut(timeOutSeconds);
    counter.Start();
    const auto settled = [&] {
        return m_aborted || socket != m_socket || isOpen() ||
               socket->state() == QAbstractSocket::UnconnectedState;
    };
    waitUntil(counter, settled);
    if (isOpen() && !m_aborted)
        return true;
    if (m_aborted || socket != m_socket)
        return false;
    if (!settled())
        m_failure = "no connection within " + QByteArray::number(timeOutSeconds) + " seconds";
    else if (m_failure.isEmpty())
        m_failure = "the connection was closed";
    socket->abort();
    return false;
}

bool CarrierConnection::tlsConfigured(QSslSocket& socket, const QString& caFile)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!caFile.isEmpty()) {
        const QList<QSslCertificate> own = QSslCertificate::fromPath(caFile, QSsl::Pem);
        if (own.isEmpty()) {
            m_failure = "no CA certificate can be read from " + bytesOf(caFile);
            return false;
        }
        // Setting the list ends the loading of the system's CAs on demand, so they are named
        // here along with the carrier's own.
        configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + own);
    }
    socket.setSslConfiguration(configuration);
    return true;
}

bool CarrierConnection::isOpen() const
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return !m_tls || static_cast<QSslSocket*>(m_socket.data())->isEncrypted();
}

bool CarrierConnection::write(const QByteArray& bytes)
{
    if (!isOpen())
        return false;
    if (m_socket->write(bytes) != bytes.size())
        return false;
    m_socket->flush();
    return true;
}

QByteArray CarrierConnection::takeReceived()
{
    readSocket();
    QByteArray taken;
    taken.swap(m_input);
    // What the limit held back in the socket comes next.
    readSocket();
    return taken;
}

void CarrierConnection::readSocket()
{
    if (!m_socket)
        return;
    const qint64 room = kInputLimit - m_input.size();
    if (room > 0 && m_socket->bytesAvailable() > 0)
        m_input += m_socket->read(room);
}

bool CarrierConnection::waitFor(int timeOutSeconds, const std::function<bool()>& done)
{
    TTimeCounter counter(*m_pacing);
    counter.setTimeOut(timeOutSeconds);
    counter.Start();
    for (;;) {
        if (done())
            return true;
        if (m_aborted || !isOpen())
            return false;
        EventPump::waitForEvents();
        // Bytes that arrived within the time still count, however late the loop came round.
        if (counter.TimedOut())
            return done();
    }
}

void CarrierConnection::close()
{
    QTcpSocket* socket = m_socket;
    if (!socket)
        return;
    if (socket->state() != QAbstractSocket::UnconnectedState)
        m_aborted = true;
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState) {
            TTimeCounter counter(*m_pacing);
            counter.setTimeOut(kCloseSeconds);
            counter.Start();
            waitUntil(counter, [&] {
                return socket != m_socket || socket->state() == QAbstractSocket::UnconnectedState;
            });
        }
    }
    if (socket == m_socket)
        socket->abort();
}

void CarrierConnection::abort()
{
    m_aborted = true;
    if (m_socket)
        m_socket->abort();
}
