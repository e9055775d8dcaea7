#include "paging/tomxpage.h"

#include "foundation/pacing.h"
#include "paging/epageerror.h"
#include "paging/tapblockbuilder.h"

namespace {

using Code = EPageError::Code;

// Modem results after dialing, in the order the wait reports them.
const QByteArray kDialResults = "CONNECT|BUSY|NO DIAL TONE|NO CARRIER|NO ANSWER|VOICE";

} // namespace

TOMXPage::TOMXPage(QObject* parent)
    : TOMXCom32(parent), m_channel(*this),
      m_session(m_channel, [this](const QByteArray& text) { progress(text); })
{
}

TOMXPage::~TOMXPage() = default;

void TOMXPage::progress(const QByteArray& text)
{
    if (m_onPageProgress)
        m_onPageProgress(text);
}

QByteArray TOMXPage::lineName() const
{
    return "COM" + QByteArray::number(static_cast<int>(ComPort()) + 1);
}

bool TOMXPage::Connect()
{
    if (m_provider.isEmpty())
        throw EPageError(Code::NoProvider);
    if (m_pinNumber.isEmpty())
        throw EPageError(Code::NoPin);
    if (PortOpen())
        Disconnect();
    if (!OpenPort()) {
        progress("Comm Error");
        throw EPageError(Code::ComportError);
    }

    if (!m_initString.isEmpty()) {
        progress("Intializing Modem");
        if (!SendCommand(m_initString))
            return m_session.failCall(Code::ModemInitFailed, {});
    }
    pacing().sleep(150);

    progress("Dialing " + m_provider);
    SendString((m_dialMethod == dmPulse ? "atdp " : "atdt ") + m_provider + "\r\n");
    switch (WaitForReply(kDialResults, 60)) {
    case 0:
        progress("Connected");
        break;
    case 1:
        return m_session.failCall(Code::LineBusy, "Line Busy");
    case 2:
        return m_session.failCall(Code::NoDialTone, "No Dial Tone");
    case 3:
        return m_session.failCall(Code::NoCarrier, "No Carrier");
    case 4:
        return m_session.failCall(Code::NoAnswer, "No Answer");
    case 5:
        return m_session.failCall(Code::VoiceConnection, "Voice Line");
    default:
        return m_session.failCall(Code::ConnectionFailed, "Connection Failed");
    }
    return m_session.logOnAfterConnect(m_password);
}

bool TOMXPage::SendPage(const QByteArray& pin, const QByteArray& text)
{
    if (!PortOpen())
        return false;
    // Taking an empty pager ID would leave the engine refusing every later Connect ("No Pin
    // Number!") until a page with a PIN came along, which none would, as no call could start.
    if (pin.isEmpty())
        throw EPageError(Code::NoPin);
    m_pinNumber = pin;
    m_message = text;
    return TransmitMessage();
}

bool TOMXPage::TransmitMessage()
{
    return m_session.transmit(m_pinNumber, m_msgLength, m_message);
}

bool TOMXPage::Disconnect()
{
    m_session.signOff();
    return PortOpen();
}

QByteArray TOMXPage::BlockChecksum(const QByteArray& block)
{
    return TapBlockBuilder::checksum(block);
}
