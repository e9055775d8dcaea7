#pragma once

#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/iserverstatus.h"
#include "core/serverconfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class IOperatorPrompts;
class MessageQueue;

// The state of the running server: its settings, its status and its logs. It is one object;
// a part that needs more than one of these roles takes it whole, a part that needs one may take
// that role's narrow interface. It needs no display; the faces mirror its signals.
class ServerState final : public QObject,
                          public IServerSettings,
                          public IServerStatus,
                          public ILogSinks
{
    Q_OBJECT

public:
    ServerState(QString dataDir, IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~ServerState() override;

    // IServerSettings
    const QString& dataDir() const override { return m_dataDir; }
    const TServerConfig& config() const override { return m_config; }
    void setConfig(const TServerConfig& config) override;
    const QList<QByteArray>& allowList() const override { return m_allowList; }
    void setAllowList(const QList<QByteArray>& lines) override;
    // Reads Allow.txt into the allow list, at start-up and at a reload. Without the file the
    // list is empty, and the "Connection Log" says that no number is allowed until the file
    // lists some (a first page refused "551" is otherwise a riddle). A file that cannot be read
    // leaves the list in use as it is (empty at start-up), and the error box says so.
    void loadAllowList();

    // IServerStatus
    MessageQueue& queue() override { return *m_queue; }
    const MessageQueue& queue() const override { return *m_queue; }
    qint32 queuedCount() const override;
    qint32 nextCheck() const override { return m_nextCheck; }
    void setNextCheck(qint32 minutes) override;
    bool serverBusy() const override { return m_serverBusy; }
    void setServerBusy(bool busy) override { m_serverBusy = busy; }
    const QString& clockText() const { return m_clockText; }
    void setClockText(const QString& text) override;
    const QString& progress() const { return m_progress; }
    void setProgress(const QString& text) override;

    // ILogSinks. Tests put their own clock in.
    QDateTime now() const override { return m_clock(); }
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QString timeStamp() const override;

    // The "Connection Log" and "Transmition Log" windows' lines, the newest LiveLogLines.
    const QStringList& connectionLog() const override { return m_connectionLog; }
    const QStringList& transmitLog() const override { return m_transmitLog; }
    void addConnectionLog(const QString& line) override;
    void addTransmitLog(const QString& line) override;
    void clearConnectionLog() override;
    void clearTransmitLog() override;

    // The transaction log writer: one line to Log.Dat when the configuration's Logging is on
    // (read for every line). A line that cannot be written never stops its caller: the page
    // in hand is queued or delivered all the same. The operator is told by a line in the
    // Connection Log and one error box that does not hold up the server; while that box is
    // open, further failures add nothing.
    void AppendLog(const QByteArray& text) override;

signals:
    void configChanged();
    void allowListChanged();
    void queuedCountChanged(qint32 count);
    void nextCheckChanged(qint32 minutes);
    void clockTextChanged(const QString& text);
    void progressChanged(const QString& text);
    void connectionLogAdded(const QString& line);
    void transmitLogAdded(const QString& line);
    void connectionLogCleared();
    void transmitLogCleared();

private:
    QString m_dataDir;
    IOperatorPrompts& m_prompts;
    TServerConfig m_config;
    QList<QByteArray> m_allowList;
    MessageQueue* m_queue;
    qint32 m_nextCheck = 0;
    bool m_serverBusy = false;
    QString m_clockText;
    QString m_progress;
    QStringList m_connectionLog;
    QStringList m_transmitLog;
    bool m_logFailureShown = false;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
};
