#pragma once

#include "core/admission.h"
#include "intake/pagebatch.h"
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
    // The SENDs of every session that arrive in one pass of the event loop are written together
    // in the next (PageBatch), each answered after that one durable write.
    std::optional<quint64> queueLater(const QList<SnppPage>& pages, const QByteArray& sender,
                                      Answer answer) override;
    void withdraw(quint64 ticket) override;
    // The shared write of the sessions' pages runs through `guard`; when it raises, every
    // session of that write ends without its reply.
    void setGuard(PageBatch::Guard guard) { m_batch.setGuard(std::move(guard)); }
    void refused(const QByteArray& sender, const QByteArray& pagerId,
                 const QByteArray& reason) override;

signals:
    // After a stop, the last session has ended: its replies are with the system.
    void drained();

private:
    // A page held into the future when nothing can keep its time: "Delayed Messaging Not
    // Supported".
    std::optional<PageSinkResult> holdRefusal(const QList<SnppPage>& pages) const;
    static PageQueuer::Transaction transaction(const QList<SnppPage>& pages,
                                               const QByteArray& sender);
    static PageSinkResult result(const std::optional<PageRefusal>& refusal,
                                 const QList<qint64>& ids);

    const ServerState& m_state;
    ILogSinks& m_log;
    Admission m_admission;
    PageQueuer m_queuer;
    PageBatch m_batch;
    IOperatorPrompts& m_prompts;
    SnppGateway* m_gateway;
    // The shared lists the settings name, as last looked up.
    mutable std::unique_ptr<PagerDirectory> m_directory;
};
