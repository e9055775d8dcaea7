#pragma once

#include "calls/callplan.h"
#include "calls/ilinechooser.h"
#include "queue/queuedcompany.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <memory>
#include <optional>

class CallRunSteps;
class LineThread;

// One company's delivery during a run, on one line: each of its planned calls in turn (set the
// line up, connect, then page the call's messages one by one, then hang up), and each page's
// fate recorded as the terminal answers for it. The decisions and every write to the queue,
// the page store and the logs happen here, on the run's thread; only the line's own steps
// (connect, send a page, hang up) run on the line's thread, one at a time.
//
// A modem line is lent by the run for the whole delivery; a carrier's line is made afresh for
// each call. finished() comes once the line is free again (after the modem's pause).
class CompanyCall final : public QObject
{
    Q_OBJECT

public:
    // The nominal length of the pause after each hang-up on a modem (6000 ms), scaled by the
    // pacing.
    static constexpr int HangUpPauseMs = 6000;

    // Over the modem line `modem`, on COM port `port` (1 for COM1; nothing: the settings' own).
    CompanyCall(CallRunSteps& run, QueuedCompany company, QList<std::optional<qint64>> ids,
                QList<PlannedCall> calls, LineThread& modem, std::optional<int> port);
    // Over the carrier's line of `route`.
    CompanyCall(CallRunSteps& run, QueuedCompany company, QList<std::optional<qint64>> ids,
                QList<PlannedCall> calls, ILineChooser::Route route);
    ~CompanyCall() override;

    const QByteArray& section() const { return m_company.section; }
    // The host of a carrier's line; empty on a modem.
    QByteArray host() const { return m_route ? m_route->host : QByteArray(); }
    LineThread* modem() const { return m_modem; }

    void start();
    // The line is in a call: from the start of its dialling (or connecting) to its hang-up; not
    // in the modem's pause after it.
    bool inCall() const { return m_inCall; }
    // Drops the call in hand now (Cancel Call): the page in hand is not sent.
    void cancel();
    // The run stops: pauses after the hang-up are cut short.
    void cutPauses();

signals:
    // A progress text of the carrier's line (a modem's comes from its LineThread).
    void lineProgress(const QByteArray& lineName, const QByteArray& text);
    void finished();

private:
    struct SendResult;

    LineThread& line() const;
    QByteArray lineName() const;
    void nextCall();
    void connected(bool up);
    void nextMessage();
    void sent(const SendResult& result);
    // The call's pages from `n` on were not handed over: they wait for the next check.
    void lineLost(qsizetype n);
    void callOver(bool reached);
    void hungUp(bool pause);
    void lineFree();
    void finish();
    // A failure nothing here handles: the run is told, the line hung up, the delivery ended.
    void broken(std::exception_ptr failure);
    void log(const QByteArray& text) { logBoth(text, text); }
    void logBoth(const QByteArray& windowText, const QByteArray& logText);

    CallRunSteps& m_run;
    const QueuedCompany m_company;
    const QList<std::optional<qint64>> m_ids;
    const QList<PlannedCall> m_calls;
    LineThread* m_modem = nullptr;
    std::optional<int> m_port;
    std::optional<ILineChooser::Route> m_route;
    std::unique_ptr<LineThread> m_carrierLine; // the carrier's line of the call in hand

    qsizetype m_call = 0;                   // the next planned call
    QList<std::optional<qint64>> m_callIds; // the page ids of the call in hand
    qsizetype m_message = 0;                // the message in hand within the call
    bool m_finished = false;
    bool m_inCall = false;
};
