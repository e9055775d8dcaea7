#pragma once

#include "pages/pagestate.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QObject>

#include <optional>

class CallProcessor;
class PageKeeping;
class ServerState;

// The running server's counters since it started, for the monitoring that reads them: pages
// taken per front end, pages that reached delivered, failed or expired, the calls the run made
// (those that never reached the paging terminal counted apart) and the time they held the line,
// the last queue check and the call in progress.
//
// The run announces each call as it starts and ends, on every line; a run broken off by a
// failure ends the calls in hand with it. A call's line time runs from its start to its end, the
// pause after a modem's hang-up not included.
class ServerMeter final : public QObject
{
    Q_OBJECT

public:
    struct Call
    {
        QByteArray company; // the access number the run dials
        QByteArray line;    // the line it is on ("COM2", "tap+tls://host:18101")
        QDateTime since;
    };

    ServerMeter(ServerState& state, PageKeeping& pages, CallProcessor& run,
                QObject* parent = nullptr);

    quint64 accepted(FrontEnd frontEnd) const { return m_accepted.value(frontEnd); }
    quint64 finished(PageState state) const { return m_finished.value(state); }
    quint64 calls() const { return m_calls; }
    quint64 failedCalls() const { return m_failedCalls; }
    double lineSeconds() const;
    const std::optional<QDateTime>& lastCheck() const { return m_lastCheck; }
    // The call in progress that started first, when calls are on several lines at once.
    std::optional<Call> callInProgress() const;
    qsizetype callsInProgress() const { return m_inProgress.size(); }

    // A queue check took place (whether or not it found pages to send).
    void noteCheck(const QDateTime& at) { m_lastCheck = at; }

private:
    void endCall(const QByteArray& company, bool failed);

    const ServerState& m_state;
    QMap<FrontEnd, quint64> m_accepted;
    QMap<PageState, quint64> m_finished;
    quint64 m_calls = 0;
    quint64 m_failedCalls = 0;
    qint64 m_lineMs = 0;
    std::optional<QDateTime> m_lastCheck;
    QMap<QByteArray, Call> m_inProgress; // by company: a company is on one line at a time
};
