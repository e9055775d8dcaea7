#pragma once

#include "core/admission.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct CompanyLineSettings;
class ErrorNotice;
class ILineChooser;
class IPagingLine;
struct PlannedCall;
class Pacing;
class PageQueue;
class ILogSinks;
class IOperatorPrompts;
class IServerSettings;
class IServerStatus;
class QueuedCompany;
class ServerState;
class TOMXPage;

// The call processing run: empties Message.Dat company by company. For each section whose number
// the allow list allows now it makes one call per set of line settings its pages were accepted
// with (CallPlan): sets the paging engine up from the configuration and those settings, dials
// and logs on, pages the call's messages, reports failed messages to their senders, removes
// what it handled and hangs up; a section it may not dial keeps its pages. A company the line
// chooser routes to a carrier on the network is called over that line instead of the modem,
// after the same allow list check. Every step is written to the "Transmition Log" and to
// Log.Dat.
//
// The run executes on the one thread and pumps events while it waits, so timer ticks, menu
// commands and client conversations are handled inside it; a second run started from in there
// is refused.
class CallProcessor final : public QObject
{
    Q_OBJECT

public:
    // The run reads the settings, keeps the status and writes to the logs; it asks the operator
    // only when the engine cannot send a page.
    CallProcessor(ServerState& state, IOperatorPrompts& prompts, TOMXPage& engine,
                  QObject* parent = nullptr);
    ~CallProcessor() override;

    // The durations of the hang-up pause and the error notices' wait; the engine's own.
    const Pacing& pacing() const;

    // One run over the whole queue, when the queue file holds messages or QueuedCount says so.
    // Returns when it is over; clears ServerBusy however it ends (a run refused because another
    // is running leaves that to the running one). A run that starts sets QueuedCount to the
    // messages left in the file when it ends. Failures it does not handle itself leave it after
    // its closing steps.
    void ProcessCalls();
    bool running() const { return m_running; }
    // Makes the running run end at its next step, as soon as the call in hand is over (the
    // caller hangs it up): no further message or company is tried, and what was not tried
    // stays queued. Nothing happens when no run is in progress.
    void requestStop();

    // The menu items "Cancel Call" and "Send Now": the run enables the first and disables the
    // second while it calls.
    bool cancelCallEnabled() const { return m_cancelCallEnabled; }
    bool sendNowEnabled() const { return m_sendNowEnabled; }

    // Decides whether a failed message's sender may be told (nothing) or why not. The default
    // is ErrorNotice::skipReason, which keeps notices away from this host; tests whose
    // workstation runs on this host put their own in.
    using NoticeCheck = std::function<std::optional<QByteArray>(const QByteArray& sender)>;
    void setNoticeCheck(NoticeCheck check) { m_noticeCheck = std::move(check); }

    // From now on each message with a record in the page store is marked sending before it goes
    // out, and delivered or failed (with the reason) after; its entry is removed through the
    // store's sequence. A message whose record is held, cancelled or already final is passed
    // over. Without it the run works on the queue file alone.
    void setPageQueue(PageQueue* pages) { m_pages = pages; }
    // From the next call on, each company the chooser has a line for is called over it; without
    // one every company is dialled on the modem. It must outlive this.
    void setLineChooser(ILineChooser* chooser) { m_chooser = chooser; }
    // The line of the call in hand (the modem between calls): Cancel Call and a stop act on it.
    IPagingLine& lineInUse();

    // The nominal length of the pause after each hang-up (6000 ms), scaled by the pacing.
    static constexpr int HangUpPauseMs = 6000;

signals:
    void callMenuChanged(bool cancelCallEnabled, bool sendNowEnabled);
    // A call to a company begins, over the line named (after its "Sending Messages For:" line).
    void callStarted(const QByteArray& company, const QByteArray& lineName);
    // That call is over: `reached` when it logged on to the paging terminal (or carrier) and
    // kept the line to its end. A run broken off by a failure ends with runEnded() alone.
    void callEnded(bool reached);
    // A run is over, however it ended (after its closing steps, before ProcessCalls returns or
    // passes its failure on).
    void runEnded();

private:
    void run();
    bool readSectionNames(QList<QByteArray>& names) const;
    void processCompany(const QByteArray& section);
    // One call to the company for the pages of `call`, with their line settings.
    void callCompany(const QueuedCompany& company, const QList<std::optional<qint64>>& ids,
                     const PlannedCall& call);
    bool setUpEngine(const CompanyLineSettings& line, const QByteArray& section);
    // The call ended before the message `n` of `callIds` was handed over (the connection to a
    // carrier on the network failed): it and the rest of the call stay queued, noted so.
    void lineLost(const QList<std::optional<qint64>>& callIds, qsizetype n,
                  const QByteArray& section);
    // Ends the call on the line in use, with the modem's pause after hanging up.
    void endCall();
    // Why the page did not reach the terminal, or nothing when the terminal took it.
    std::optional<QByteArray> sendMessage(const QByteArray& value);
    // Marks a recorded page sending; false when it is not to be sent now (held, cancelled,
    // expired, already final).
    bool claim(qint64 id);
    // Marks the company's recorded pages as not sent on this call.
    void noteNotConnected(const QList<std::optional<qint64>>& ids, const QByteArray& section);
    void notifySender(const QByteArray& sender, const QByteArray& pin, const QByteArray& error);
    void closingSteps();
    void setCallMenu(bool cancelCallEnabled, bool sendNowEnabled);

    // One line to the "Transmition Log" (date-time + " " + text) and its log text to Log.Dat.
    void logLine(const QByteArray& windowText, const QByteArray& logText);

    const IServerSettings& m_settings;
    const Admission m_admission;
    IServerStatus& m_status;
    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    TOMXPage& m_engine;
    ILineChooser* m_chooser = nullptr;
    std::unique_ptr<IPagingLine> m_route;  // the network line of the call in hand, if any
    std::unique_ptr<ErrorNotice> m_notice; // working state of the running run
    NoticeCheck m_noticeCheck;
    PageQueue* m_pages = nullptr;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_cancelCallEnabled = false;
    bool m_sendNowEnabled = true;
};
