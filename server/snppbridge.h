#pragma once

#include "snpp/ipagerdirectory.h"
#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"

#include <QObject>

class ILogSinks;
class IOperatorPrompts;
class IServerSettings;
class ISubmissionHandler;
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

    // Listens as the settings file says. A failure is shown in the standard error box.
    void start();
    void stop();

    bool addressAdmitted(const QByteArray& address) const override;
    bool numberAllowed(const QByteArray& accessNumber) const override;
    PagerLookup resolve(const QByteArray& pagerId) const override;
    PageSinkResult queue(const QList<SnppPage>& pages, const QByteArray& sender) override;

private:
    ISubmissionHandler& m_submissions;
    const IServerSettings& m_settings;
    IOperatorPrompts& m_prompts;
    SnppGateway* m_gateway;
};
