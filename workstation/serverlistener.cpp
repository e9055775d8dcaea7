#include "workstation/serverlistener.h"

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/serverconfig.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "net/hostaddresses.h"
#include "net/tsock.h"
#include "workstation/submissionconversation.h"

#include <algorithm>

ServerListener::ServerListener(ISubmissionHandler& handler, const IServerSettings& settings,
                               ILogSinks& log, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_handler(handler), m_settings(settings), m_log(log), m_prompts(prompts),
      m_sock(new TSock(this))
{
    m_sock->setObjectName(QStringLiteral("Sock1"));
    m_sock->setSocketType(TSock::stStream);
    m_sock->setPortName("5612");
    m_sock->setBlocking(false);
    m_sock->setAutoAccept(true);
    m_sock->setLineBreak(TSock::lbCRLF);
    m_sock->setBlockingTimeout(0);
    m_sock->setOnAutoAccept([this](TSock& listener, TSock& client) { accept(listener, client); });
    m_sock->setOnRefuse([this](TSock&, const QByteArray& address) {
        m_log.addConnectionLog(QStringLiteral("Connection Refused From: ") +
                               WidgetText::fromBytes(address) +
                               QStringLiteral(" (Too Few Descriptors Free)"));
    });
}

ServerListener::~ServerListener() = default;

void ServerListener::startListening()
{
    try {
        m_sock->setPortName(m_settings.config().Port);
        m_sock->setListen(true);
    } catch (const EZelkorError& error) {
        m_prompts.showError(error.text());
    }
}

void ServerListener::restartListening()
{
    if (m_sock->Listen())
        stopListening();
    startListening();
}

void ServerListener::stopListening()
{
    m_sock->setListen(false);
}

void ServerListener::closeConversations()
{
    m_limits.closeAll();
}

QString ServerListener::ipAddressText()
{
    QByteArray address = TSock::LocalAddress();
    if (address == "0.0.0.0") {
        // The host's name has no address (or the lookup could not run): the address of a
        // network interface is the next best answer; a loopback one only when there is no other.
        const QList<quint32> own = HostAddresses::own();
        const auto outside = std::find_if(own.begin(), own.end(), [](quint32 a) {
            return !HostAddresses::isLoopback(a) && !HostAddresses::isUnspecified(a);
        });
        if (outside != own.end())
            address = HostAddresses::dotted(*outside);
        else if (!own.isEmpty())
            address = HostAddresses::dotted(own.front());
        else
            return QStringLiteral("Current IP Address Is Unknown: The Host Name Could Not Be "
                                  "Looked Up");
    }
    return QStringLiteral("Current IP Address Is \"") + WidgetText::fromBytes(address) +
           QLatin1Char('"');
}

void ServerListener::showIpAddress()
{
    m_prompts.showMessage(IOperatorPrompts::BoxKind::Information, ipAddressText());
}

void ServerListener::setPacing(const Pacing& pacing)
{
    m_sock->setPacing(pacing);
}

void ServerListener::accept(TSock& listener, TSock& client)
{
    std::optional<PerAddressLimit::Claim> place = m_limits.claimPlace(client);
    if (!place) {
        m_log.addConnectionLog(QStringLiteral("Connection Refused From: ") +
                               WidgetText::fromBytes(client.HostName()) +
                               QStringLiteral(" (Too Many Connections)"));
        client.Close();
        return;
    }
    ConversationLimits::Slot slot(m_limits, listener, client, std::move(*place));
    SubmissionConversation conversation(m_handler, client);
    conversation.setFirstCommand(slot.firstCommandBy(), [&slot] { slot.firstCommandReceived(); });
    conversation.run();
}
