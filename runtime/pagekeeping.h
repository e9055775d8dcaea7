#pragma once

#include "pages/pagessettings.h"

#include <QObject>
#include <QString>

#include <memory>

class ILogSinks;
class MessageQueue;
class NotifyRunner;
class PageQueue;
class PageStore;

// The running server's page store (Pages.db in the data folder) joined to the queue's owner:
// the page queue every front end and the run write through, the agreement of store and queue at
// start, the held pages released and old ones pruned at each check, and the notify command for
// pages that reached their final state. Lives and works on the thread that made it.
class PageKeeping final : public QObject
{
    Q_OBJECT

public:
    // Opens the store; raises EPageStoreError when it cannot.
    PageKeeping(const QString& dataDir, MessageQueue& queue, ILogSinks& log,
                QObject* parent = nullptr);
    ~PageKeeping() override;

    PageStore& store() const { return *m_store; }
    PageQueue& pageQueue() const { return *m_pageQueue; }
    NotifyRunner& notifier() const { return *m_notify; }
    // The settings in use: Pages.Dat as last read, or the defaults.
    const PagesSettings& settings() const { return m_settings; }

    // At start, before anything is queued or sent: Pages.Dat read, store and queue brought into
    // agreement (what a kill left), and the commands due from before started.
    void startUp();
    // Pages.Dat read again (the service's reload); a file that cannot be used keeps the running
    // settings and says why in the logs.
    void loadSettings();
    // At a check, before the run: held pages whose time has come are queued, pages past
    // MaxAgeHours expire and leave the queue, final pages past KeepDays are forgotten.
    void atCheck();

private:
    void note(const QByteArray& line);

    QString m_dataDir;
    MessageQueue& m_queue;
    ILogSinks& m_log;
    PagesSettings m_settings;
    std::unique_ptr<PageStore> m_store;
    std::unique_ptr<PageQueue> m_pageQueue;
    std::unique_ptr<NotifyRunner> m_notify;
};
