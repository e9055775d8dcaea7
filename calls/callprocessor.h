#pragma once

#include "calls/callrunsteps.h"
#include "calls/ilinechooser.h"
#include "core/admission.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CompanyCall;
class ErrorNotice;
class ILineChooser;
class LineThread;
class PageQueue;
class ILogSinks;
class IServerSettings;
class IServerStatus;
class ServerState;
class TOMXPage;

// The call processing run: empties Message.Dat company by company. For each section whose number
// the allow list allows now it makes one call per set of line settings its pages were accepted
// with (CallPlan): sets the line up from the configuration and those settings, dials and logs
// on, pages the call's messages, reports failed messages to their senders, removes what it
// handled and hangs up; a section it may not dial keeps its pages. Every step is written to the
// "Transmition Log" and to Log.Dat.
//
// The run hands the companies to free lines: one company at a time on each modem line (the
// COM ports the line chooser lists, or the settings' port alone), and up to RoutedPerHost at
// once over the carrier's line of a company the chooser routes to the network. A company is on
// one line at a time. Each line runs on a thread of its own (LineThread); the run itself, the
// queue, the page store and the logs stay on the thread that calls ProcessCalls, which keeps
// serving clients while it waits, and clients never hold a call.
class CallProcessor final : public QObject, private CallRunSteps
{
    Q_OBJECT

public:
    // Carrier lines at once to one host.
    static constexpr int RoutedPerHost = 4;

    // The run reads the settings, keeps the status and writes to the logs; it asks the operator
    // only when the engine cannot send a page.
    CallProcessor(ServerState& state, IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~CallProcessor() override;

    // The first modem line's engine (the window's OMXPage1), on its own thread: set it up or
    // read it only between runs. Its pacing is every modem line's.
    TOMXPage& engine();
    // Runs `work` on the first modem line's thread and waits for it; only between runs.
    void onEngine(const std::function<void(TOMXPage&)>& work);

    // The durations of the hang-up pause and the error notices' wait; the engine's own.
    const Pacing& pacing() const override;

    // One run over the whole queue, when the queue file holds messages or QueuedCount says so.
    // Returns when it is over and whatever waits on this thread above it has returned; clears
    // ServerBusy as it ends, however it ends (a run refused because another is running leaves
    // that to the running one). A run that starts sets QueuedCount to the
    // messages left in the file when it ends. Failures it does not handle itself leave it after
    // its closing steps.
    void ProcessCalls();
    bool running() const { return m_running; }
    // Makes the running run end at its next step on every line, as soon as each call in hand
    // has finished its message (the lines hang up): no further message or company is tried,
    // and what was not tried stays queued. Nothing happens when no run is in progress.
    void requestStop();
    // Cancel Call: every line in a call hangs up now; the run goes on with the next company.
    void cancelCalls();
    // A line is in a call (during a run: delivering a company; between runs: a modem line held).
    bool inCall();
    // Hangs up a modem line held between runs.
    void hangUpIdleLines();

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
    // From the next run on, the modem lines are the chooser's and each company it has a route
    // for is called over the carrier's line; without one every company is dialled on the
    // settings' modem. It must outlive this.
    void setLineChooser(ILineChooser* chooser) { m_chooser = chooser; }

signals:
    void callMenuChanged(bool cancelCallEnabled, bool sendNowEnabled);
    // A progress text of a line; named ("COM2: ...") when more than one line may be in use.
    void lineProgress(const QByteArray& text);
    // A call to a company begins, over the line named (after its "Sending Messages For:" line).
    void callStarted(const QByteArray& company, const QByteArray& lineName);
    // That call is over: `reached` when it logged on to the paging terminal (or carrier) and
    // kept the line to its end. A run broken off by a failure ends with runEnded() alone.
    void callEnded(const QByteArray& company, bool reached);
    // A run is over, however it ended (after its closing steps, before ProcessCalls returns or
    // passes its failure on).
    void runEnded();

private:
    // The run's first steps: its log lines, the companies it will call, the first calls.
    void beginRun();
    // Ends the run once no line is busy and nothing more is to be started: its closing steps,
    // ServerBusy cleared, runEnded().
    void endIfDone();
    bool readSectionNames(QList<QByteArray>& names) const;
    void prepareLines();
    LineThread& modemLine(int slot);
    // Starts every waiting company that has a free line.
    void dispatch();
    // The company's deliveries under way to `host`.
    int routedTo(const QByteArray& host) const;
    // A modem line no company is on, or nothing.
    std::optional<int> freeModem() const;
    // The company's delivery over the modem line `slot`, or over `route` when `slot` is
    // nothing; none when there is nothing to call it for, or it may not be dialled.
    void startCompany(const QByteArray& section, std::optional<int> slot,
                      std::optional<ILineChooser::Route> route);
    QByteArray modemName(int slot) const;
    // A line's progress text, named when more than one line may be in use.
    void progressOf(const QByteArray& lineName, const QByteArray& text);
    void companyFinished(CompanyCall* call);
    void closingSteps();
    void setCallMenu(bool cancelCallEnabled, bool sendNowEnabled);

    // CallRunSteps, for each company's delivery.
    void logLine(const QByteArray& windowText, const QByteArray& logText) override;
    bool stopRequested() const override { return m_stopRequested || m_failure; }
    void fail(std::exception_ptr failure) override;
    MessageQueue& queue() override;
    PageQueue* pages() override { return m_pages; }
    bool claim(qint64 id) override;
    IOperatorPrompts& prompts() override { return m_prompts; }
    void notifySender(const QByteArray& sender, const QByteArray& pin,
                      const QByteArray& error) override;
    const TServerConfig& config() const override;
    const QString& dataDir() const override;
    bool namesLines() const override { return m_namesLines; }
    void noteCallStarted(const QByteArray& company, const QByteArray& lineName) override;
    void noteCallEnded(const QByteArray& company, bool reached) override;

    const IServerSettings& m_settings;
    const Admission m_admission;
    IServerStatus& m_status;
    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    ILineChooser* m_chooser = nullptr;
    std::vector<std::unique_ptr<LineThread>> m_modems; // the first is made at once
    std::unique_ptr<ErrorNotice> m_notice;             // working state of the running run
    NoticeCheck m_noticeCheck;
    PageQueue* m_pages = nullptr;

    // The running run: its modem lines' ports (nothing: the settings' own), the companies not
    // yet started, the deliveries under way.
    QList<std::optional<int>> m_ports;
    QList<QByteArray> m_waiting;
    std::vector<std::unique_ptr<CompanyCall>> m_active;
    std::vector<std::unique_ptr<CompanyCall>> m_done; // finished, destroyed by the run's loop
    std::exception_ptr m_failure;
    // Runs started and ended; the failure that ended the run numbered m_failedRun, for its
    // ProcessCalls to pass on; ProcessCalls frames on the stack.
    quint64 m_runsStarted = 0;
    quint64 m_runsEnded = 0;
    quint64 m_failedRun = 0;
    std::exception_ptr m_runFailure;
    int m_frames = 0;
    bool m_namesLines = false;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_cancelCallEnabled = false;
    bool m_sendNowEnabled = true;
};
