#pragma once

#include "snpp/ipagerdirectory.h"
#include "snpp/ipagesink.h"
#include "snpp/isnppaccess.h"

#include <QObject>

class ServerCore;
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
    explicit SnppBridge(ServerCore& core, QObject* parent = nullptr);
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
    ServerCore& m_core;
    SnppGateway* m_gateway;
};
