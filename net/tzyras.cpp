#include "net/tzyras.h"

#include "foundation/operatorprompts.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "net/eraserror.h"
#include "net/etimedouterror.h"
#include "net/norasplatform.h"

#include <QMetaObject>
#include <QPointer>

namespace {

constexpr int kDefaultTimeOut = 120;
constexpr qsizetype kMaxEntryName = 256;
constexpr int kMinimizePauseMs = 1000;

using Function = IRasPlatform::Function;

// The dial-up library's string resource numbers for the state texts.
int stateResourceId(int state)
{
    switch (state) {
    case 0:
        return 120;
    case 2:
    case 3:
    case 4:
        return 122;
    case 5:
    case 19:
        return 124;
    case 14:
        return 131;
    case 21:
        return 128;
    case TzyRas::kStateConnected:
        return 129;
    default:
        return 0;
    }
}

QByteArray fallbackStateText(int state)
{
    if (state == 0)
        return "Initializing...";
    if (state >= 1 && state <= 4)
        return "Dialing...";
    if (state == 5 || state == 19)
        return "Verifying user name and password";
    if (state == 14)
        return "User name and password verified";
    if (state == 21)
        return "Logging on to Network";
    if (state == TzyRas::kStateConnected)
        return "Successfully connected";
    return {};
}

} // namespace

TzyRas::TzyRas(QObject* parent, std::shared_ptr<IRasPlatform> platform, IOperatorPrompts* prompts)
    : QObject(parent),
      m_platform(platform ? std::move(platform) : std::make_shared<NoRasPlatform>()),
      m_prompts(prompts), m_pacing(&Pacing::standard()),
      m_timeCounter(new TTimeCounter(*m_pacing, this))
{
    m_timeCounter->setTimeOut(kDefaultTimeOut);
    RefreshEntries();
}

void TzyRas::setPacing(const Pacing& pacing)
{
    m_pacing = &pacing;
    m_timeCounter->setPacing(pacing);
}

TzyRas::~TzyRas() = default;

qint32 TzyRas::TimeOut() const
{
    return m_timeCounter->TimeOut();
}

void TzyRas::setTimeOut(qint32 seconds)
{
    m_timeCounter->setTimeOut(seconds);
}

bool TzyRas::has(IRasPlatform::Function function) const
{
    return m_platform->hasFunction(function);
}

void TzyRas::showError(const QString& text) const
{
    if (m_prompts)
        m_prompts->showMessage(IOperatorPrompts::BoxKind::Error, text);
}

void TzyRas::raiseError(int code) const
{
    QByteArray message;
    if (has(Function::GetErrorString)) {
        const std::optional<QByteArray> text = m_platform->errorString(code);
        message = text ? *text : "RAS error no " + QByteArray::number(code);
    }
    throw ERASError(message, code);
}

void TzyRas::RefreshEntries()
{
    m_entries.clear();
    if (!has(Function::EnumEntries))
        return;
    QList<QByteArray> entries;
    m_lastError = m_platform->enumEntries(entries);
    if (m_lastError != 0)
        return;
    for (const QByteArray& entry : entries)
        m_entries.append(entry.left(kMaxEntryName));
}

void TzyRas::setService(const QByteArray& service)
{
    if (service.isEmpty()) {
        m_service.clear();
        return;
    }
    if (!RasAvailable()) {
        showError(QStringLiteral("TzyRas component was unable to detect\rRAS on your system."));
        return;
    }
    if (m_connected) {
        showError(QStringLiteral("This property can be set only before\restablishing the "
                                 "connection"));
        return;
    }
    RefreshEntries();
    for (const QByteArray& entry : std::as_const(m_entries)) {
        if (entry.compare(service, Qt::CaseInsensitive) == 0) {
            m_service = service;
            return;
        }
    }
    showError(QStringLiteral("Invalid service name"));
    m_service.clear();
}

bool TzyRas::IsConnected()
{
    if (!has(Function::EnumConnections))
        return false;
    QList<IRasPlatform::Connection> connections;
    const int result = m_platform->enumConnections(connections);
    if (result != 0) {
        m_lastError = result;
        raiseError(result);
    }
    for (const IRasPlatform::Connection& connection : std::as_const(connections)) {
        if (connection.entryName == m_service && connection.handle != m_handle) {
            m_handle = connection.handle;
            return true;
        }
    }
    if (m_forceService || !has(Function::GetProjectionInfo))
        return false;
    for (const IRasPlatform::Connection& connection : std::as_const(connections)) {
        QByteArray ipAddress;
        const int projection = m_platform->ipProjection(connection.handle, ipAddress);
        if (projection != 0)
            raiseError(projection);
        if (!ipAddress.isEmpty()) {
            m_handle = connection.handle;
            return true;
        }
    }
    return false;
}

void TzyRas::Dial()
{
    if (IsConnected() || m_service.isEmpty()) {
        m_connected = true;
        m_dialedHere = false;
        return;
    }
    if (!has(Function::GetEntryDialParams) || !has(Function::SetEntryDialParams) ||
        !has(Function::Dial))
        return;
    m_dialedHere = true;
    m_handle = -1;
    m_connected = false;
    m_timeCounter->setTimedOut(false);

    IRasPlatform::DialParams params;
    params.entryName = m_service;
    bool passwordStored = false;
    m_lastError = m_platform->getEntryDialParams(params, passwordStored);
    if (m_lastError == 0 && !passwordStored) {
        params.password = m_password;
        m_lastError = m_platform->setEntryDialParams(params, m_removePassword);
    }
    if (m_lastError == 0) {
        // Progress arrives as messages of the event loop, handled while the wait below runs.
        QPointer<TzyRas> self(this);
        auto progress = [self](int state, int error) {
            if (!self)
                return;
            QMetaObject::invokeMethod(
                self.data(),
                [self, state, error] {
                    if (self)
                        self->progressMessage(state, error);
                },
                Qt::QueuedConnection);
        };
        qintptr handle = -1;
        m_lastError = m_platform->dial(params, progress, handle);
        m_handle = handle;
        if (m_lastError == 0) {
            m_timeCounter->Start();
            waitUntil(*m_timeCounter, [this] { return m_connected || m_lastError != 0; });
            m_timeCounter->Stop();
            if (m_lastError == 0) {
                if (!m_connected)
                    throw ETimedOutError("Dial-up connection timed out");
                if (m_minimizeAtConnect) {
                    m_pacing->sleep(kMinimizePauseMs);
                    m_platform->minimizeDialDialog();
                }
                return;
            }
        }
    }
    const int error = m_lastError;
    HangUp();
    raiseError(error);
}

void TzyRas::progressMessage(int state, int error)
{
    if (auto handler = m_onStatusChange)
        handler(*this, stateText(state));
    if (!m_connected && state == kStateConnected)
        m_connected = true;
    if (error != 0) {
        m_lastError = error;
        if (m_connected)
            raiseError(error);
    }
}

QByteArray TzyRas::stateText(int state) const
{
    const QByteArray resource = m_platform->stateResource(stateResourceId(state));
    return resource.isEmpty() ? fallbackStateText(state) : resource;
}

void TzyRas::HangUp()
{
    if (!has(Function::HangUp))
        return;
    if (RasAvailable() && m_dialedHere) {
        m_platform->hangUp(m_handle);
        if (auto handler = m_onDisconnected)
            handler(*this);
    }
    m_connected = false;
    m_handle = -1;
}
