#pragma once

#include "snpp/ipagerdirectory.h"
#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"

#include <QObject>

#include <memory>

class ILogSinks;
class IOperatorPrompts;
class IServerSettings;
class ISubmissionHandler;
class PagerDirectory;
class SnppGateway;

// The SNPP gateway in the running server: its access rules are the server's IP lists, dialling
// check and allow list; its address book is the shared lists the settings name; its pages go
// into the queue as workstations' pages do, with the same checks, log lines and counting.
class SnppBridge final : public QObject,
                         public ISnppAccess,
                         public IPagerDirectory,
                         public IPageSink
{
    Q_OBJECT

public:
    // Pages go through `submissions`, as workstations' pages do; the shared lists are the ones
    // `settings` name.
    SnppBridge(ISubmissionHandler& submissions, const IServerSettings& settings, ILogSinks& log,
               IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~SnppBridge() override;

    SnppGateway& gateway() const { return *m_gateway; }

    // Listens as the settings file says. A failure is shown in the standard error box. Called
    // again (a reload), the sessions being served go on unless the port changed or the gateway
    // was switched off.
    void start();
    // Stops taking clients; each session ends after the command in hand, with its reply and
    // "421". drained() follows once they are all gone.
    void stop();
    bool isDrained() const;

    bool addressAdmitted(const QByteArray& address) const override;
    bool numberAllowed(const QByteArray& accessNumber) const override;
    PagerLookup resolve(const QByteArray& pagerId) const override;
    PageSinkResult queue(const QList<SnppPage>& pages, const QByteArray& sender) override;

signals:
    // After a stop, the last session has ended: its replies are with the system.
    void drained();

private:
    ISubmissionHandler& m_submissions;
    const IServerSettings& m_settings;
    IOperatorPrompts& m_prompts;
    SnppGateway* m_gateway;
    // The shared lists the settings name, as last looked up.
    mutable std::unique_ptr<PagerDirectory> m_directory;
};
