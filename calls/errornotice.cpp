#include "calls/errornotice.h"

#include "foundation/ttimecounter.h"
#include "net/hostaddresses.h"
#include "net/tsock.h"

#include <exception>

ErrorNotice::ErrorNotice(const Pacing& pacing)
    : m_sock(std::make_unique<TSock>()), m_counter(std::make_unique<TTimeCounter>(pacing))
{
    m_sock->setPacing(pacing);
    m_counter->setTimeOut(TimeOutSeconds);
    m_sock->setOnConnect([this](TSock&) { m_connected = true; });
    m_sock->setOnInfo([this](TSock&, TSock::TSocketInfo info, const QByteArray&) {
        if (info == TSock::siError)
            m_failed = true;
    });
}

ErrorNotice::~ErrorNotice() = default;

QByteArray ErrorNotice::text(const QByteArray& pin, const QByteArray& reason)
{
    return "*ER*Error Sending Message To: " + pin + " (" + reason + ")";
}

std::optional<QByteArray> ErrorNotice::skipReason(const QByteArray& host)
{
    if (host.isEmpty())
        return QByteArray("No Sender Address");
    const std::optional<quint32> address = HostAddresses::parseDotted(host);
    if (!address)
        return QByteArray("Invalid Sender Address");
    if (HostAddresses::isUnspecified(*address))
        return QByteArray("Unspecified Address");
    if (HostAddresses::isLoopback(*address))
        return QByteArray("Loopback Address");
    if (HostAddresses::own().contains(*address))
        return QByteArray("Address Of This Server");
    return std::nullopt;
}

void ErrorNotice::send(const QByteArray& host, const QByteArray& port, const QByteArray& pin,
                       const QByteArray& reason)
{
    m_connected = false;
    m_failed = false;
    try {
        m_sock->setHostName(host);
        m_sock->setPortName(port);
        m_sock->Open();
        // The line waits in the socket's output buffer until the connection is made.
        m_sock->SendLine(text(pin, reason));
        m_counter->Start();
        // Done when the workstation has closed after the line went out, or the connection
        // could not be made at all.
        waitUntil(*m_counter, [this] { return m_failed || (m_connected && !m_sock->Connected()); });
    } catch (const std::exception&) {
        // A workstation that cannot be told is no reason to stop delivering pages.
    }
    m_counter->Stop();
    // Also a socket still connecting has to go: the next notice of this run opens a new one.
    try {
        m_sock->Close();
    } catch (const std::exception&) {
    }
}
