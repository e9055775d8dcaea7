#pragma once

#include "server/serverconfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class IOperatorPrompts;
class ServerListener;

// The state of the running server that the main window shows and every subsystem works on:
// the configuration, the queue counters, the busy flag, the allow list, the two live logs and
// the status bar texts. It needs no display, so tests drive the server through it; the main
// window only mirrors its signals.
class ServerCore final : public QObject
{
    Q_OBJECT

public:
    enum Panel { PanelClock = 0, PanelQueued = 1, PanelNextCheck = 2, PanelProgress = 3 };

    ServerCore(QString dataDir, IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~ServerCore() override;

    // The data directory: the working directory at start-up.
    const QString& dataDir() const { return m_dataDir; }
    void setDataDir(const QString& dir) { m_dataDir = dir; }
    // dataDir + "/" + name.
    QString dataFile(const QString& name) const;
    IOperatorPrompts& prompts() const { return m_prompts; }
    // The listening socket Sock1 and its start, restart and stop.
    ServerListener& listener() const { return *m_listener; }

    // The local date and time for the clock and every time stamp; tests put their own clock in.
    QDateTime now() const { return m_clock(); }
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // The time stamp that log lines begin with, taken now.
    QString timeStamp() const;

    TServerConfig& config() { return m_config; }
    const TServerConfig& config() const { return m_config; }

    qint32 queuedCount() const { return m_queuedCount; }
    // Sets the counter and shows "Queued: " + count in panel 1.
    void setQueuedCount(qint32 count);
    qint32 nextCheck() const { return m_nextCheck; }
    // Sets the countdown and shows "Next Check: " + minutes in panel 2.
    void setNextCheck(qint32 minutes);
    bool serverBusy() const { return m_serverBusy; }
    void setServerBusy(bool busy) { m_serverBusy = busy; }

    QList<QByteArray>& allowList() { return m_allowList; }

    // The live logs keep this many of their newest lines: between runs and midnights a busy
    // server would otherwise grow them without end.
    static constexpr int LiveLogLines = 5000;

    // The "Connection Log" and "Transmition Log" windows' lines, the newest LiveLogLines.
    const QStringList& connectionLog() const { return m_connectionLog; }
    const QStringList& transmitLog() const { return m_transmitLog; }
    void addConnectionLog(const QString& line);
    void addTransmitLog(const QString& line);
    void clearConnectionLog();
    void clearTransmitLog();

    // The transaction log writer: one line to Log.Dat when the configuration's Logging is on
    // (read for every line). A line that cannot be written never stops its caller: the page
    // in hand is queued or delivered all the same. The operator is told by a line in the
    // Connection Log and one error box that does not hold up the server; while that box is
    // open, further failures add nothing.
    void AppendLog(const QByteArray& text);
    bool logFailureShown() const { return m_logFailureShown; }

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

signals:
    void connectionLogAdded(const QString& line);
    void transmitLogAdded(const QString& line);
    void connectionLogCleared();
    void transmitLogCleared();
    void panelTextChanged(int panel, const QString& text);

private:
    QString m_dataDir;
    IOperatorPrompts& m_prompts;
    ServerListener* m_listener;
    TServerConfig m_config;
    qint32 m_queuedCount = 0;
    qint32 m_nextCheck = 0;
    bool m_serverBusy = false;
    QList<QByteArray> m_allowList;
    QStringList m_connectionLog;
    QStringList m_transmitLog;
    QString m_panels[4];
    bool m_logFailureShown = false;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
};
