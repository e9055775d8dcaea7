#include "lines/wctpline.h"

#include "lines/carrierconnection.h"
#include "lines/httpresponse.h"
#include "lines/wctpmessage.h"
#include "paging/elinelost.h"
#include "paging/epageerror.h"

#include <QDateTime>

namespace {

using Code = EPageError::Code;

// The connection and the whole exchange each get as long as a modem is given for its result
// after dialling.
constexpr int kConnectSeconds = 60;
constexpr int kResponseSeconds = 60;

} // namespace

WctpLine::WctpLine(const CarrierRoute& route, QObject* parent)
    : QObject(parent), m_route(route), m_connection(new CarrierConnection(this))
{
}

WctpLine::~WctpLine() = default;

void WctpLine::setPacing(const Pacing& pacing)
{
    m_connection->setPacing(pacing);
}

const Pacing& WctpLine::pacing() const
{
    return m_connection->pacing();
}

void WctpLine::setOnPageProgress(ProgressHandler handler)
{
    m_onPageProgress = std::move(handler);
}

void WctpLine::progress(const QByteArray& text)
{
    if (m_onPageProgress)
        m_onPageProgress(text);
}

bool WctpLine::Connect()
{
    if (m_provider.isEmpty())
        throw EPageError(Code::NoProvider);
    m_callUp = true;
    return true;
}

QByteArray WctpLine::request(const QByteArray& pin, const QByteArray& text) const
{
    WctpMessage::Submit submit;
    submit.senderId = m_route.senderId().isEmpty() ? DefaultSenderId : m_route.senderId();
    submit.securityCode = m_password;
    submit.recipient = pin;
    submit.text = text;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    submit.submitted = now;
    // Unique per message from this server, so a carrier can tell a repeat from a new page.
    submit.messageId =
        QByteArray::number(now.toMSecsSinceEpoch()) + "-" + QByteArray::number(m_sequence);
    const QByteArray body = WctpMessage::submitRequest(submit);

    QByteArray host = m_route.host().toLatin1();
    if (host.contains(':'))
        host = "[" + host + "]";
    const quint16 standardPort = m_route.tls() ? 443 : 80;
    if (m_route.port() != standardPort)
        host += ":" + QByteArray::number(m_route.port());
    return "POST " + m_route.path() + " HTTP/1.1\r\n" + "Host: " + host + "\r\n" +
           "Content-Type: text/xml; charset=utf-8\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + "Connection: close\r\n" +
           "User-Agent: ZelkorServer\r\n" + "\r\n" + body;
}

bool WctpLine::SendPage(const QByteArray& pin, const QByteArray& text)
{
    if (!m_callUp)
        return false;
    if (pin.isEmpty())
        throw EPageError(Code::NoPin);
    if (text.isEmpty())
        throw EPageError(Code::NoMessage);

    progress("Sending Message To " + pin);
    ++m_sequence;
    HttpResponse response;
    if (!post(request(pin, text), response))
        return false;
    if (response.status() != 200)
        notSent("HTTP " + QByteArray::number(response.status()) + " " + response.reason());

    const WctpMessage::Confirmation confirmation = WctpMessage::readConfirmation(response.body());
    switch (confirmation.outcome) {
    case WctpMessage::Confirmation::Outcome::Success:
        progress("Message Delivered");
        return true;
    case WctpMessage::Confirmation::Outcome::Failure: {
        QByteArray refusal = "WCTP Error " + QByteArray::number(confirmation.code);
        if (!confirmation.text.isEmpty())
            refusal += ": " + confirmation.text;
        progress("Error: " + refusal);
        throw EPageError(Code::InvalidId, refusal + "!");
    }
    case WctpMessage::Confirmation::Outcome::Unreadable:
        break;
    }
    notSent("no WCTP confirmation in the reply");
}

bool WctpLine::post(const QByteArray& request, HttpResponse& response)
{
    if (!m_connection->open(m_route.host(), m_route.port(), m_route.tls(), m_route.caFile(),
                            kConnectSeconds)) {
        if (m_connection->aborted())
            return false;
        notSent(m_connection->failure());
    }
    m_connection->write(request);
    const auto settled = [&] {
        response.feed(m_connection->takeReceived());
        return response.state() != HttpResponse::State::Incomplete;
    };
    if (!m_connection->waitFor(kResponseSeconds, settled)) {
        if (m_connection->aborted())
            return false;
        // A body that runs to the end of the connection is complete now.
        if (!m_connection->isOpen()) {
            response.feed(m_connection->takeReceived());
            response.finish();
        }
    }
    m_connection->abort();
    switch (response.state()) {
    case HttpResponse::State::Complete:
        return true;
    case HttpResponse::State::Incomplete:
        notSent("no reply within " + QByteArray::number(kResponseSeconds) + " seconds");
    case HttpResponse::State::Malformed:
        notSent("an unreadable reply (" + response.problem() + ")");
    case HttpResponse::State::TooLarge:
        notSent("a reply of more than " + QByteArray::number(HttpResponse::kLimit) + " bytes");
    }
    return false;
}

void WctpLine::notSent(const QByteArray& why)
{
    progress("Connection Failed: " + why);
    throw ELineLost("Connection Failed! (" + why + ")");
}

bool WctpLine::Disconnect()
{
    m_callUp = false;
    m_connection->abort();
    return false;
}

void WctpLine::hangUp()
{
    Disconnect();
}
