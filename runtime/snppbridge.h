#pragma once

#include "core/admission.h"
#include "intake/pagequeuer.h"
#include "snpp/ipagerdirectory.h"
#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"

#include <QObject>

#include <memory>

class ILogSinks;
class IOperatorPrompts;
class PagerDirectory;
class ServerState;
class SnppGateway;

// The SNPP gateway in the running server: its access rules are the server's admission (the IP
// lists and the number policy); its address book is the shared lists the settings name; its
// pages are read into the queue's own record straight from the pagers they were sent to and go
// into the queue as workstations' pages do, with the same checks, log lines and counting.
class SnppBridge final : public QObject,
                         public ISnppAccess,
                         public IPagerDirectory,
                         public IPageSink
{
    Q_OBJECT

public:
    // The shared lists are the ones the state's settings name; pages wait while its status says
    // a run is delivering the queue.
    SnppBridge(ServerState& state, IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~SnppBridge() override;

    SnppGateway& gateway() const { return *m_gateway; }
    PageQueuer& queuer() { return m_queuer; }

    // Listens as the settings file says. A failure is shown in the standard error box. Called
    // again (a reload), the sessions being served go on unless the port changed or the gateway
    // was switched off.
    void start();
    // Stops taking clients; each session ends after the command in hand, with its reply and
    // "421". drained() follows once they are all gone.
    void stop();
    bool isDrained() const;

    bool addressAdmitted(const QByteArray& address) const override;
    bool mayDial(const QByteArray& accessNumber) const override;
    PagerLookup resolve(const QByteArray& pagerId) const override;
    PageSinkResult queue(const QList<SnppPage>& pages, const QByteArray& sender) override;
    void refused(const QByteArray& sender, const QByteArray& pagerId,
                 const QByteArray& reason) override;

signals:
    // After a stop, the last session has ended: its replies are with the system.
    void drained();

private:
    const ServerState& m_state;
    ILogSinks& m_log;
    Admission m_admission;
    PageQueuer m_queuer;
    IOperatorPrompts& m_prompts;
    SnppGateway* m_gateway;
    // The shared lists the settings name, as last looked up.
    mutable std::unique_ptr<PagerDirectory> m_directory;
};
