#pragma once

#include "net/rasplatform.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class IOperatorPrompts;
class Pacing;
class TTimeCounter;

// A dial-up networking entry: names a phone-book entry (Service), dials it, tells whether a
// connection for it is active, hangs up, and reports the dial progress as text.
//
// The platform's dial-up library comes in as an IRasPlatform. Without one (and on a machine that
// has no such library) every function is missing: there are no entries, nothing is connected,
// and Dial does nothing.
class TzyRas final : public QObject
{
    Q_OBJECT

public:
    using StatusEvent = std::function<void(TzyRas& sender, const QByteArray& statusText)>;
    using NotifyEvent = std::function<void(TzyRas& sender)>;

    // The connection state that means "connected".
    static constexpr int kStateConnected = 8192;

    // `platform` null means no dial-up networking; `prompts` null shows no boxes.
    explicit TzyRas(QObject* parent = nullptr, std::shared_ptr<IRasPlatform> platform = {},
                    IOperatorPrompts* prompts = nullptr);
    ~TzyRas() override;

    // The durations of the dial wait and the pause before minimizing; standard unless given.
    void setPacing(const Pacing& pacing);
    const Pacing& pacing() const { return *m_pacing; }

    const QByteArray& Service() const { return m_service; }
    // Checks the name against the entries; refusals are shown as error boxes, not raised.
    void setService(const QByteArray& service);
    bool ForceService() const { return m_forceService; }
    void setForceService(bool force) { m_forceService = force; }
    bool MinimizeAtConnect() const { return m_minimizeAtConnect; }
    void setMinimizeAtConnect(bool minimize) { m_minimizeAtConnect = minimize; }
    const QByteArray& Password() const { return m_password; }
    void setPassword(const QByteArray& password) { m_password = password; }
    bool RemovePassword() const { return m_removePassword; }
    void setRemovePassword(bool remove) { m_removePassword = remove; }
    qint32 TimeOut() const;
    void setTimeOut(qint32 seconds);
    int Tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    void setOnStatusChange(StatusEvent handler) { m_onStatusChange = std::move(handler); }
    void setOnDisconnected(NotifyEvent handler) { m_onDisconnected = std::move(handler); }

    const QList<QByteArray>& Entries() const { return m_entries; }
    void RefreshEntries();
    bool RasAvailable() const { return !m_entries.isEmpty(); }
    // Whether a connection counts as this object's; may raise ERASError.
    bool IsConnected();
    // Connects, or raises ERASError (after hanging up) or ETimedOutError.
    void Dial();
    void HangUp();

    bool Connected() const { return m_connected; }
    int LastError() const { return m_lastError; }
    qintptr ConnectionHandle() const { return m_handle; }

    // The dial progress as it arrives from the platform (a state and an error code).
    void progressMessage(int state, int error);
    // The text shown for a connection state.
    QByteArray stateText(int state) const;

    const std::shared_ptr<IRasPlatform>& platform() const { return m_platform; }
    IOperatorPrompts* prompts() const { return m_prompts; }

private:
    bool has(IRasPlatform::Function function) const;
    [[noreturn]] void raiseError(int code) const;
    void showError(const QString& text) const;

    std::shared_ptr<IRasPlatform> m_platform;
    IOperatorPrompts* m_prompts;
    const Pacing* m_pacing;
    QList<QByteArray> m_entries;
    QByteArray m_service;
    qintptr m_handle = -1;
    StatusEvent m_onStatusChange;
    NotifyEvent m_onDisconnected;
    bool m_minimizeAtConnect = false;
    bool m_dialedHere = false;
    QByteArray m_password;
    bool m_removePassword = true;
    bool m_forceService = true;
    int m_lastError = 0;
    TTimeCounter* m_timeCounter;
    bool m_connected = false;
    int m_tag = 0;
};
