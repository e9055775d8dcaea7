#include "calls/callprocessor.h"

#include "calls/callcontrol.h"
#include "calls/callplan.h"
#include "calls/companycall.h"
#include "calls/errornotice.h"
#include "calls/ilinechooser.h"
#include "calls/linethread.h"
#include "calls/modemsetup.h"
#include "core/ilogsinks.h"
#include "core/iserversettings.h"
#include "core/iserverstatus.h"
#include "core/serverconfig.h"
#include "core/serverstate.h"
#include "foundation/eventpump.h"
#include "foundation/operatorprompts.h"
#include "foundation/pacing.h"
#include "foundation/widgettext.h"
#include "pages/pagequeue.h"
#include "pages/pagestore.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int SectionReadAttempts = 5;
constexpr int MemoLineLimit = 500;

// Why the run does not dial a section's number, or nothing when it may: the allow list as it
// stands now decides, not the one the page was queued under, and a section added by hand may
// hold anything in its name.
std::optional<QByteArray> dialRefusal(const Admission& admission, const QByteArray& number)
{
    switch (admission.checkNumber(number)) {
    case Admission::NumberCheck::Allowed:
        return std::nullopt;
    case Admission::NumberCheck::NotDiallable:
        return QByteArray("Invalid Access Number");
    case Admission::NumberCheck::NotAllowed:
        break;
    }
    return QByteArray("Access Number Not Allowed");
}

// A modem engine as the main window creates OMXPage1: COM1 at 2400 baud, 7 data bits, even
// parity, tone dialling, "ATZ", 80 characters; each call sets port and line settings.
std::unique_ptr<IPagingLine> newModem(const QString& dataDir)
{
    auto engine = std::make_unique<TOMXPage>();
    engine->setDeviceDirectory(dataDir);
    engine->setComPort(pnCOM1);
    engine->setComPortSpeed(br2400);
    engine->setComPortDataBits(db7BITS);
    engine->setComPortParity(ptEVEN);
    engine->setComPortPollingDelay(0);
    engine->setDialMethod(dmTone);
    engine->setInitString("ATZ");
    engine->setMsgLength(80);
    engine->setPinNumber(CallControl::PlaceholderPin);
    return engine;
}

} // namespace

CallProcessor::CallProcessor(ServerState& state, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_settings(state), m_admission(state), m_status(state), m_log(state),
      m_prompts(prompts)
{
    modemLine(0);
}

CallProcessor::~CallProcessor()
{
    // Deliveries first: they hold the modem lines.
    m_active.clear();
    m_done.clear();
    m_modems.clear();
}

LineThread& CallProcessor::modemLine(int slot)
{
    while (static_cast<int>(m_modems.size()) <= slot) {
        const int index = static_cast<int>(m_modems.size());
        const QString dir = m_settings.dataDir();
        m_modems.push_back(std::make_unique<LineThread>([dir] { return newModem(dir); }));
        connect(m_modems.back().get(), &LineThread::progress, this,
                [this, index](const QByteArray& text) { progressOf(modemName(index), text); });
    }
    return *m_modems[static_cast<size_t>(slot)];
}

TOMXPage& CallProcessor::engine()
{
    return static_cast<TOMXPage&>(m_modems.front()->line());
}

void CallProcessor::onEngine(const std::function<void(TOMXPage&)>& work)
{
    m_modems.front()->runNow([&work](IPagingLine& line) { work(static_cast<TOMXPage&>(line)); });
}

const Pacing& CallProcessor::pacing() const
{
    return static_cast<TOMXPage&>(m_modems.front()->line()).pacing();
}

const TServerConfig& CallProcessor::config() const
{
    return m_settings.config();
}

const QString& CallProcessor::dataDir() const
{
    return m_settings.dataDir();
}

MessageQueue& CallProcessor::queue()
{
    return m_status.queue();
}

QByteArray CallProcessor::modemName(int slot) const
{
    return ModemSetup::lineName(m_settings.config(),
                                slot < m_ports.size() ? m_ports[slot] : std::nullopt);
}

void CallProcessor::progressOf(const QByteArray& lineName, const QByteArray& text)
{
    emit lineProgress(m_namesLines ? lineName + ": " + text : text);
}

void CallProcessor::ProcessCalls()
{
    // A run started from inside a running one (Send Now, or the countdown, during one of its
    // event pumps) would dial on the lines the outer run holds and send its messages twice.
    // The outer run clears ServerBusy when it ends.
    if (m_running)
        return;

    // The file decides as well as the counter: a page the counter missed (a file edited by
    // hand) is delivered all the same.
    const MessageQueue& queue = m_status.queue();
    if (!queue.exists() || !queue.holdsMessages() || engine().PortOpen()) {
        m_status.setServerBusy(false);
        return;
    }

    m_running = true;
    m_stopRequested = false;
    m_failure = nullptr;
    const quint64 run = ++m_runsStarted;
    ++m_frames;
    try {
        beginRun();
    } catch (...) {
        // Whatever ended the run, no line stays held.
        fail(std::current_exception());
    }
    endIfDone();
    // The run ends as its last line reports back, in whichever wait that comes (a client's
    // conversation may be waiting on this thread above this one); this frame returns once
    // what runs above it has returned.
    while (m_runsEnded < run) {
        EventPump::waitForEvents();
        if (m_frames == 1)
            m_done.clear();
    }
    if (m_frames == 1)
        m_done.clear();
    --m_frames;
    if (m_failedRun == run && m_runFailure) {
        const std::exception_ptr failure = std::exchange(m_runFailure, nullptr);
        std::rethrow_exception(failure);
    }
}

void CallProcessor::requestStop()
{
    if (!m_running)
        return;
    m_stopRequested = true;
    for (const std::unique_ptr<CompanyCall>& call : m_active)
        call->cutPauses();
}

void CallProcessor::cancelCalls()
{
    if (!m_running) {
        // The modem between calls, as the window's Cancel Call always hung it up.
        hangUpIdleLines();
        return;
    }
    for (const std::unique_ptr<CompanyCall>& call : m_active)
        call->cancel();
}

bool CallProcessor::inCall()
{
    if (m_running) {
        return std::any_of(m_active.begin(), m_active.end(),
                           [](const std::unique_ptr<CompanyCall>& call) { return call->inCall(); });
    }
    return std::any_of(m_modems.begin(), m_modems.end(),
                       [](const std::unique_ptr<LineThread>& line) {
                           return !line->busy() && line->line().inCall();
                       });
}

void CallProcessor::hangUpIdleLines()
{
    for (const std::unique_ptr<LineThread>& line : m_modems) {
        if (line->busy())
            continue;
        line->runNow([](IPagingLine& modem) {
            try {
                modem.Disconnect();
            } catch (...) {
            }
            if (modem.inCall())
                modem.hangUp();
        });
    }
}

void CallProcessor::fail(std::exception_ptr failure)
{
    if (!m_failure)
        m_failure = failure;
    // Nothing more is started; the calls in hand hang up at once.
    requestStop();
    for (const std::unique_ptr<CompanyCall>& call : m_active)
        call->cancel();
}

void CallProcessor::beginRun()
{
    if (m_log.connectionLog().size() > MemoLineLimit)
        m_log.clearConnectionLog();
    if (m_log.transmitLog().size() > MemoLineLimit)
        m_log.clearTransmitLog();
    logLine("Call Processing Started", "Call Processing Started");

    m_notice = std::make_unique<ErrorNotice>(pacing());

    QList<QByteArray> sections;
    if (!readSectionNames(sections)) {
        logLine("No Messages Read!", "No Messages Read");
        return;
    }
    EventPump::once();
    m_waiting = sections;
    prepareLines();
    dispatch();
}

void CallProcessor::endIfDone()
{
    if (!m_running || !m_active.empty() || (!m_waiting.isEmpty() && !stopRequested()))
        return;
    m_waiting.clear();
    try {
        closingSteps();
    } catch (...) {
        // A failure that ended the run is the one the operator has to see.
        if (!m_failure)
            m_failure = std::current_exception();
    }
    m_running = false;
    m_runsEnded = m_runsStarted;
    m_failedRun = m_runsStarted;
    m_runFailure = std::exchange(m_failure, nullptr);
    m_status.setServerBusy(false);
    emit runEnded();
}

bool CallProcessor::readSectionNames(QList<QByteArray>& names) const
{
    for (int attempt = 0; attempt < SectionReadAttempts; ++attempt) {
        names = m_status.queue().sectionNames();
        EventPump::once();
        if (!names.isEmpty())
            return true;
    }
    return false;
}

void CallProcessor::prepareLines()
{
    m_ports.clear();
    const QList<int> ports = m_chooser ? m_chooser->modemPorts() : QList<int>();
    for (const int port : ports)
        m_ports.append(port);
    if (m_ports.isEmpty())
        m_ports.append(std::nullopt);
    for (int slot = 0; slot < m_ports.size(); ++slot)
        modemLine(slot).setCutPauses(false);
    // Lines are named in the logs when two of them may take turns in it.
    bool routed = false;
    if (m_chooser) {
        for (const QByteArray& section : std::as_const(m_waiting))
            routed = routed || m_chooser->route(section).has_value();
    }
    m_namesLines = m_ports.size() > 1 || routed;
}

int CallProcessor::routedTo(const QByteArray& host) const
{
    return static_cast<int>(std::count_if(m_active.begin(), m_active.end(),
                                          [&](const std::unique_ptr<CompanyCall>& call) {
                                              return !call->modem() && call->host() == host;
                                          }));
}

std::optional<int> CallProcessor::freeModem() const
{
    for (int slot = 0; slot < m_ports.size(); ++slot) {
        LineThread* line = m_modems[static_cast<size_t>(slot)].get();
        const bool taken = std::any_of(
            m_active.begin(), m_active.end(),
            [line](const std::unique_ptr<CompanyCall>& call) { return call->modem() == line; });
        if (!taken)
            return slot;
    }
    return std::nullopt;
}

void CallProcessor::dispatch()
{
    for (qsizetype i = 0; i < m_waiting.size();) {
        if (stopRequested())
            return;
        const QByteArray section = m_waiting[i];
        std::optional<int> slot;
        std::optional<ILineChooser::Route> route =
            m_chooser ? m_chooser->route(section) : std::nullopt;
        if (route) {
            if (routedTo(route->host) >= RoutedPerHost) {
                ++i;
                continue;
            }
        } else {
            slot = freeModem();
            if (!slot) {
                ++i;
                continue;
            }
        }
        m_waiting.removeAt(i);
        startCompany(section, slot, std::move(route));
    }
}

void CallProcessor::startCompany(const QByteArray& section, std::optional<int> slot,
                                 std::optional<ILineChooser::Route> route)
{
    MessageQueue& queue = m_status.queue();
    // Read when a line is free for it: pages queued meanwhile go on this call.
    QueuedCompany company = queue.readCompany(section);
    if (company.messages.isEmpty())
        return;
    QList<std::optional<qint64>> ids =
        m_pages ? m_pages->store().idsOf(company) : QList<std::optional<qint64>>();
    // A company whose pages are all held until later (or already ended) is not called: the
    // call would only log on and hang up.
    QList<PlannedCall> calls = CallPlan::of(company, ids, m_pages ? &m_pages->store() : nullptr);
    if (calls.isEmpty())
        return;

    if (const std::optional<QByteArray> refusal = dialRefusal(m_admission, section)) {
        // Its pages stay queued (and counted) until the number is allowed again, or the
        // operator clears the queue; each run says once why they were not sent.
        const QByteArray text = "Not Dialled: " + section + " (" + *refusal + ")";
        logLine(text, text);
        return;
    }

    CallRunSteps& steps = *this;
    std::unique_ptr<CompanyCall> call;
    if (slot) {
        call = std::make_unique<CompanyCall>(steps, std::move(company), std::move(ids),
                                             std::move(calls), modemLine(*slot), m_ports[*slot]);
    } else {
        call = std::make_unique<CompanyCall>(steps, std::move(company), std::move(ids),
                                             std::move(calls), std::move(*route));
    }
    CompanyCall* started = call.get();
    connect(started, &CompanyCall::finished, this, [this, started] { companyFinished(started); });
    connect(started, &CompanyCall::lineProgress, this, &CallProcessor::progressOf);
    m_active.push_back(std::move(call));
    started->start();
}

void CallProcessor::companyFinished(CompanyCall* call)
{
    const auto it = std::find_if(
        m_active.begin(), m_active.end(),
        [call](const std::unique_ptr<CompanyCall>& active) { return active.get() == call; });
    if (it == m_active.end())
        return;
    // Destroyed by the run's own loop: it is still on the stack.
    m_done.push_back(std::move(*it));
    m_active.erase(it);
    try {
        dispatch();
    } catch (...) {
        fail(std::current_exception());
    }
    endIfDone();
}

void CallProcessor::noteCallStarted(const QByteArray& company, const QByteArray& lineName)
{
    setCallMenu(true, false);
    emit callStarted(company, lineName);
}

void CallProcessor::noteCallEnded(const QByteArray& company, bool reached)
{
    emit callEnded(company, reached);
}

bool CallProcessor::claim(qint64 id)
{
    if (m_pages->store().markSending(id))
        return true;
    // Each company is on one line and only one run sends at a time: a page still marked
    // sending was left so by a run that failed before it could record the terminal's answer,
    // and goes out again.
    const std::optional<PageRecord> page = m_pages->store().page(id);
    return page && page->state == PageState::Sending;
}

void CallProcessor::notifySender(const QByteArray& sender, const QByteArray& pin,
                                 const QByteArray& error)
{
    const std::optional<QByteArray> skip =
        m_noticeCheck ? m_noticeCheck(sender) : ErrorNotice::skipReason(sender);
    if (skip) {
        const QByteArray text = "Error Notice Not Sent To: " + sender + " (" + *skip + ")";
        logLine(text, text);
        return;
    }
    m_notice->send(sender, m_settings.config().Port, pin, error);
}

void CallProcessor::closingSteps()
{
    m_notice.reset();
    m_waiting.clear();
    EventPump::once();
    setCallMenu(false, true);
    // The counter follows the file: what is left now (pages refused a dial, companies not
    // reached, pages queued during the run) is what the next run will find.
    m_status.queue().recount();
    // Both the window and the log get the line with its own time stamp.
    const QString completed = m_log.timeStamp() + QStringLiteral(" Call(s) Compleated");
    m_log.addTransmitLog(completed);
    m_log.addTransmitLog(QStringLiteral("--------------------------"));
    m_log.addTransmitLog(QString()); // the memo line ended in CR LF shows an empty line
    m_log.AppendLog(WidgetText::toBytes(completed));
    m_log.AppendLog("--------------------------");
    m_status.setProgress(QString());
}

void CallProcessor::setCallMenu(bool cancelCallEnabled, bool sendNowEnabled)
{
    if (m_cancelCallEnabled == cancelCallEnabled && m_sendNowEnabled == sendNowEnabled)
        return;
    m_cancelCallEnabled = cancelCallEnabled;
    m_sendNowEnabled = sendNowEnabled;
    emit callMenuChanged(cancelCallEnabled, sendNowEnabled);
}

void CallProcessor::logLine(const QByteArray& windowText, const QByteArray& logText)
{
    m_log.addTransmitLog(m_log.timeStamp() + QLatin1Char(' ') + WidgetText::fromBytes(windowText));
    m_log.AppendLog(logText);
}
