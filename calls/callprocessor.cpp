#include "calls/callprocessor.h"

#include "calls/callplan.h"
#include "calls/errornotice.h"
#include "calls/ilinechooser.h"
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
#include "paging/elinelost.h"
#include "paging/epageerror.h"
#include "paging/tomxpage.h"
#include "queue/messagequeue.h"
#include "queue/queueentry.h"

#include <exception>

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

} // namespace

CallProcessor::CallProcessor(ServerState& state, IOperatorPrompts& prompts, TOMXPage& engine,
                             QObject* parent)
    : QObject(parent), m_settings(state), m_admission(state), m_status(state), m_log(state),
      m_prompts(prompts), m_engine(engine)
{
}

CallProcessor::~CallProcessor() = default;

const Pacing& CallProcessor::pacing() const
{
    return m_engine.pacing();
}

IPagingLine& CallProcessor::lineInUse()
{
    if (m_route)
        return *m_route;
    return m_engine;
}

void CallProcessor::ProcessCalls()
{
    // A run started from inside a running one (Send Now, or the countdown, during one of its
    // event pumps) would dial on the line the outer run holds and send its messages twice. The
    // outer run clears ServerBusy when it ends.
    if (m_running)
        return;

    struct BusyReset
    {
        IServerStatus& status;
        ~BusyReset() { status.setServerBusy(false); }
    } busyReset{m_status};

    // The file decides as well as the counter: a page the counter missed (a file edited by
    // hand) is delivered all the same.
    const MessageQueue& queue = m_status.queue();
    if (!queue.exists() || !queue.holdsMessages() || m_engine.PortOpen())
        return;

    m_running = true;
    m_stopRequested = false;
    try {
        run();
    } catch (...) {
        m_running = false;
        emit runEnded();
        throw;
    }
    m_running = false;
    emit runEnded();
}

void CallProcessor::requestStop()
{
    if (m_running)
        m_stopRequested = true;
}

void CallProcessor::run()
{
    try {
        if (m_log.connectionLog().size() > MemoLineLimit)
            m_log.clearConnectionLog();
        if (m_log.transmitLog().size() > MemoLineLimit)
            m_log.clearTransmitLog();
        logLine("Call Processing Started", "Call Processing Started");

        m_notice = std::make_unique<ErrorNotice>(pacing());

        QList<QByteArray> sections;
        if (!readSectionNames(sections)) {
            logLine("No Messages Read!", "No Messages Read");
        } else {
            EventPump::once();
            for (const QByteArray& section : std::as_const(sections)) {
                if (m_stopRequested)
                    break;
                processCompany(section);
            }
        }
    } catch (...) {
        try {
            closingSteps();
        } catch (...) {
            // The failure that ended the run is the one the operator has to see.
        }
        throw;
    }
    closingSteps();
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

void CallProcessor::processCompany(const QByteArray& section)
{
    MessageQueue& queue = m_status.queue();
    const QueuedCompany company = queue.readCompany(section);
    if (company.messages.isEmpty())
        return;
    const QList<std::optional<qint64>> ids =
        m_pages ? m_pages->store().idsOf(company) : QList<std::optional<qint64>>();
    // A company whose pages are all held until later (or already ended) is not called: the
    // call would only log on and hang up.
    const QList<PlannedCall> calls =
        CallPlan::of(company, ids, m_pages ? &m_pages->store() : nullptr);
    if (calls.isEmpty())
        return;

    if (const std::optional<QByteArray> refusal = dialRefusal(m_admission, section)) {
        // Its pages stay queued (and counted) until the number is allowed again, or the
        // operator clears the queue; each run says once why they were not sent.
        const QByteArray text = "Not Dialled: " + section + " (" + *refusal + ")";
        logLine(text, text);
        return;
    }

    for (const PlannedCall& call : calls) {
        // A stopped run leaves the rest of the company's messages queued, untried.
        if (m_stopRequested)
            break;
        callCompany(company, ids, call);
    }
    queue.removeSectionIfEmpty(section);
}

void CallProcessor::callCompany(const QueuedCompany& company,
                                const QList<std::optional<qint64>>& ids, const PlannedCall& call)
{
    const QByteArray& section = company.section;
    logLine("Sending Messages For: " + section, "Sending Messages For: " + section);
    // A fresh line per call: routes reloaded meanwhile count from this call on.
    m_route = m_chooser ? m_chooser->routedLine(section) : nullptr;
    if (m_route)
        logLine("Line: " + m_route->lineName(), "Line: " + m_route->lineName());
    emit callStarted(section, lineInUse().lineName());
    if (!call.settings || !setUpEngine(*call.settings, section)) {
        m_route.reset();
        emit callEnded(false);
        // Without a usable port or with line settings that cannot be read nobody can be called;
        // the messages wait for a corrected configuration or section.
        logLine("Error Connecting To Paging Network: " + section,
                " Error Connecting To Paging Network: " + section);
        return;
    }

    setCallMenu(true, false);
    EventPump::once();

    QList<std::optional<qint64>> callIds;
    for (const qsizetype i : call.messages)
        callIds.append(i < ids.size() ? ids[i] : std::nullopt);

    IPagingLine& line = lineInUse();
    bool connected = false;
    try {
        connected = line.Connect();
    } catch (const std::exception&) {
        connected = false;
    }
    if (!connected) {
        logLine("Error Connecting To Paging Network: " + section,
                " Error Connecting To Paging Network: " + section);
        noteNotConnected(callIds, section);
        emit callEnded(false);
        if (m_stopRequested) {
            line.Disconnect();
            m_route.reset();
        } else {
            endCall();
        }
        return;
    }

    EventPump::once();
    MessageQueue& queue = m_status.queue();
    bool lost = false;
    for (qsizetype n = 0; n < call.messages.size(); ++n) {
        const QueuedCompany::Message& message = company.messages[call.messages[n]];
        // A stopped run leaves the rest of the company's messages queued, untried.
        if (m_stopRequested)
            break;
        const std::optional<qint64> id = callIds[n];
        // A page held until later, or cancelled or expired since the company was read, stays
        // as the store has it: it is not sent, and its line is not this run's to remove.
        if (id && !claim(*id))
            continue;
        std::optional<QByteArray> failure;
        try {
            if (id) {
                const QByteArray line = "Sending Page " + QByteArray::number(*id) +
                                        " To: " + QueueEntry::parse(message.value).pin;
                logLine(line, line);
            }
            failure = sendMessage(message.value);
        } catch (const ELineLost&) {
            lineLost(callIds, n, section);
            lost = true;
            break;
        } catch (...) {
            // The call ended before the terminal answered for the page: it waits for the next.
            if (id)
                m_pages->store().requeue(*id, "Call Ended Before The Terminal Answered");
            throw;
        }
        // Handled, whatever came of it: removed (and counted off) at once, so a run that ends
        // early never pages it again, and only this line, so a message queued meanwhile for the
        // same company stays for the next run. When the operator cleared the queue during the
        // call, the key may by now hold a message queued after that; that one stays, and the
        // counter, reset by the clearing, counts only it.
        if (!id)
            queue.removeMessage(section, message);
        else if (failure)
            m_pages->failed(*id, *failure, section, message);
        else
            m_pages->delivered(*id, section, message);
        EventPump::once();
    }
    // The call's time on the line ends here, before the pause after the hang-up.
    emit callEnded(!lost);
    // Whoever stopped the run has hung up; the closing steps make sure of it.
    if (m_stopRequested)
        return;

    endCall();
    EventPump::once();
}

void CallProcessor::lineLost(const QList<std::optional<qint64>>& callIds, qsizetype n,
                             const QByteArray& section)
{
    // The line has logged its reason; the pages wait for the next check as after a failed
    // connection.
    const QByteArray note = "Error Connecting To Paging Network: " + section;
    logLine(note, " " + note);
    if (!m_pages)
        return;
    if (const std::optional<qint64> id = callIds[n])
        m_pages->store().requeue(*id, note);
    for (qsizetype rest = n + 1; rest < callIds.size(); ++rest) {
        if (callIds[rest])
            m_pages->store().addNote(*callIds[rest], note);
    }
}

void CallProcessor::endCall()
{
    IPagingLine& line = lineInUse();
    line.Disconnect();
    // A modem needs its pause before it dials again; a carrier on the network does not.
    if (line.pausesAfterHangUp())
        pacing().pauseResponsive(HangUpPauseMs);
    m_route.reset();
}

bool CallProcessor::setUpEngine(const CompanyLineSettings& line, const QByteArray& section)
{
    if (m_route) {
        // A carrier on the network needs no port: only the company's own settings.
        m_route->setMsgLength(line.length);
        m_route->setPassword(line.password);
        m_route->setProvider(section);
        return true;
    }
    return ModemSetup::apply(m_engine, m_settings.config(), m_settings.dataDir(), line, section);
}

bool CallProcessor::claim(qint64 id)
{
    if (m_pages->store().markSending(id))
        return true;
    // Only one run sends at a time: a page still marked sending was left so by a run that
    // failed before it could record the terminal's answer, and goes out again.
    const std::optional<PageRecord> page = m_pages->store().page(id);
    return page && page->state == PageState::Sending;
}

void CallProcessor::noteNotConnected(const QList<std::optional<qint64>>& ids,
                                     const QByteArray& section)
{
    for (const std::optional<qint64>& id : ids) {
        if (id)
            m_pages->store().addNote(*id, "Error Connecting To Paging Network: " + section);
    }
}

std::optional<QByteArray> CallProcessor::sendMessage(const QByteArray& value)
{
    const QueueEntry entry = QueueEntry::parse(value);
    logLine("Sending Messages To: " + entry.pin + " From " + entry.sender,
            "Sending Messages To: " + entry.pin + " From " + entry.sender);
    EventPump::once();

    const QByteArray pageText = entry.pageText();
    try {
        // The engine would refuse an empty page only after closing the port, which would cost
        // every later message of this company its delivery; refuse it here with the same error
        // and keep the line.
        IPagingLine& line = lineInUse();
        if (pageText.isEmpty() && line.inCall())
            throw EPageError(EPageError::Code::NoMessage);
        if (!line.SendPage(entry.pin, pageText)) {
            m_prompts.beep();
            m_prompts.showMessage(IOperatorPrompts::BoxKind::Error,
                                  QStringLiteral("Error Sending Message To \"%1\"")
                                      .arg(WidgetText::fromBytes(entry.addressee)));
            return QByteArray("Error Sending Message");
        }
    } catch (const EPageError& error) {
        const QByteArray text = "Error Sending Messages To: " + entry.pin + " From " +
                                entry.sender + " (" + error.message() + ")";
        logLine(text, text);
        // A terminal that hung up is the paging company's doing, not the sender's.
        if (!error.terminalDisconnected())
            notifySender(entry.sender, entry.pin, error.message());
        return error.message();
    }
    return std::nullopt;
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
    std::exception_ptr failure;
    try {
        if (lineInUse().inCall())
            lineInUse().Disconnect();
    } catch (...) {
        failure = std::current_exception();
    }
    // However the hang-up went, the line must not stay held.
    if (lineInUse().inCall())
        lineInUse().hangUp();
    if (m_engine.PortOpen())
        m_engine.ClosePort();
    m_route.reset();
    EventPump::once();
    setCallMenu(false, true);
    // The counter follows the file: what is left now (pages refused a dial, companies not
    // reached, pages queued during the run) is what the next run will find.
    m_status.queue().recount();
    try {
        // Both the window and the log get the line with its own time stamp.
        const QString completed = m_log.timeStamp() + QStringLiteral(" Call(s) Compleated");
        m_log.addTransmitLog(completed);
        m_log.addTransmitLog(QStringLiteral("--------------------------"));
        m_log.addTransmitLog(QString()); // the memo line ended in CR LF shows an empty line
        m_log.AppendLog(WidgetText::toBytes(completed));
        m_log.AppendLog("--------------------------");
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    m_status.setProgress(QString());
    if (failure)
        std::rethrow_exception(failure);
}

void CallProcessor::setCallMenu(bool cancelCallEnabled, bool sendNowEnabled)
{
    m_cancelCallEnabled = cancelCallEnabled;
    m_sendNowEnabled = sendNowEnabled;
    emit callMenuChanged(cancelCallEnabled, sendNowEnabled);
}

void CallProcessor::logLine(const QByteArray& windowText, const QByteArray& logText)
{
    m_log.addTransmitLog(m_log.timeStamp() + QLatin1Char(' ') + WidgetText::fromBytes(windowText));
    m_log.AppendLog(logText);
}
