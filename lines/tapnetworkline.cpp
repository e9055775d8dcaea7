#include "lines/tapnetworkline.h"

#include "foundation/eventpump.h"
#include "lines/carrierconnection.h"
#include "paging/elinelost.h"
#include "paging/epageerror.h"

namespace {

using Code = EPageError::Code;

// As long as a modem is given for its result after dialling.
constexpr int kConnectSeconds = 60;

} // namespace

TapNetworkLine::TapNetworkLine(const CarrierRoute& route, QObject* parent)
    : QObject(parent), m_route(route), m_connection(new CarrierConnection(this)),
      m_channel(*m_connection),
      m_session(m_channel, [this](const QByteArray& text) { progress(text); })
{
}

TapNetworkLine::~TapNetworkLine() = default;

void TapNetworkLine::setPacing(const Pacing& pacing)
{
    m_connection->setPacing(pacing);
}

const Pacing& TapNetworkLine::pacing() const
{
    return m_connection->pacing();
}

void TapNetworkLine::setOnPageProgress(ProgressHandler handler)
{
    m_onPageProgress = std::move(handler);
}

void TapNetworkLine::progress(const QByteArray& text)
{
    if (m_onPageProgress)
        m_onPageProgress(text);
}

bool TapNetworkLine::Connect()
{
    if (m_provider.isEmpty())
        throw EPageError(Code::NoProvider);
    if (inCall())
        Disconnect();

    m_callUp = false;
    m_channel.reset();
    progress("Connecting To " + m_route.name());
    if (!m_connection->open(m_route.host(), m_route.port(), m_route.tls(), m_route.caFile(),
                            kConnectSeconds)) {
        if (m_connection->aborted())
            return false;
        progress("Connection Failed: " + m_connection->failure());
        throw EPageError(Code::ConnectionFailed);
    }
    progress("Connected");
    m_callUp = m_session.logOnAfterConnect(m_password);
    return m_callUp;
}

bool TapNetworkLine::SendPage(const QByteArray& pin, const QByteArray& text)
{
    // A close by the carrier since the last wait is seen before anything is sent.
    EventPump::once();
    if (!inCall()) {
        if (m_callUp && !m_connection->aborted())
            lineLost();
        return false;
    }
    if (pin.isEmpty())
        throw EPageError(Code::NoPin);
    // From here on bytes of the message may reach the carrier: whatever happens to the call,
    // the message is done with (sent at most once).
    return m_session.transmit(pin, m_msgLength, text);
}

void TapNetworkLine::lineLost()
{
    m_callUp = false;
    const QByteArray why = m_connection->failure().isEmpty() ? QByteArray("the connection ended")
                                                             : m_connection->failure();
    progress("Connection Lost: " + why);
    throw ELineLost("Connection Lost! (" + why + ")");
}

bool TapNetworkLine::Disconnect()
{
    m_callUp = false;
    m_session.signOff();
    return inCall();
}

bool TapNetworkLine::inCall() const
{
    return m_connection->isOpen();
}

void TapNetworkLine::hangUp()
{
    m_callUp = false;
    m_connection->abort();
}
