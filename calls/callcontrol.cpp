#include "calls/callcontrol.h"

#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

namespace {
const QString HyphenLine = QStringLiteral("--------------------------");
}

CallControl::CallControl(ServerState& state, IOperatorPrompts& prompts)
    : m_status(state), m_log(state), m_prompts(prompts),
      m_processor(std::make_unique<CallProcessor>(state, prompts))
{
    connect(m_processor.get(), &CallProcessor::lineProgress, this, &CallControl::pageProgress);
    connect(m_processor.get(), &CallProcessor::runEnded, this, &CallControl::runEnded);
}

TOMXPage& CallControl::engine()
{
    return m_processor->engine();
}

CallControl::~CallControl() = default;

void CallControl::sendNow()
{
    // The window is about to close; its queue is no longer to be called.
    if (m_closeApproved)
        return;
    m_processor->ProcessCalls();
    m_status.setProgress(QString());
}

void CallControl::cancelCall()
{
    // Every line in a call, or the modem between calls.
    m_processor->cancelCalls();
}

void CallControl::automaticRun()
{
    if (m_closeApproved)
        return;
    m_status.setServerBusy(true);
    m_processor->ProcessCalls();
}

void CallControl::pageProgress(const QByteArray& text)
{
    const QString line = m_log.timeStamp() + QStringLiteral("  ") + WidgetText::fromBytes(text);
    m_status.setProgress(WidgetText::fromBytes(text));
    m_log.addTransmitLog(line);
    m_log.AppendLog(WidgetText::toBytes(line));
}

bool CallControl::closeQuery(const std::function<void()>& stopListening)
{
    // The run this close waited for is over: nothing more to ask.
    if (m_closeApproved)
        return true;
    // The headless server has nobody to ask and never comes here: on SIGTERM it takes the
    // answers that lose nothing (the call finishes the message in hand and hangs up, the
    // queue stays for the next start) and logs them (ServerRuntime::stop).
    IOperatorPrompts& prompts = m_prompts;
    const bool duringRun = m_processor->running();
    if (m_processor->inCall()) {
        if (!prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                              QStringLiteral("Connection Active! Terminate?")))
            return false;
        // During a run the call ends only once the operator has said whether the queue is to
        // be sent first: the running call then goes on delivering it.
        if (!duringRun)
            m_processor->hangUpIdleLines();
    }
    bool sendFirst = false;
    if (m_status.queuedCount() > 0) {
        sendFirst =
            prompts.askYesNo(IOperatorPrompts::BoxKind::Warning,
                             QStringLiteral("Message In Queue! Terminating Will Clear Queue\r\n"
                                            "Send Queued Messages Firest?"));
        if (stopListening)
            stopListening();
    }
    if (duringRun)
        return closeAfterRun(sendFirst);
    if (sendFirst) {
        m_closingRun = true;
        m_sendFirst = true;
        try {
            m_processor->ProcessCalls();
        } catch (...) {
            m_closingRun = false;
            throw;
        }
        m_closingRun = false;
        if (m_sendFirst)
            endOfClosingRun();
    }
    return true;
}

bool CallControl::closeAfterRun(bool sendFirst)
{
    // The queue file must outlive the run that is reading it: the window closes when the run
    // is over, either after delivering the queue or once it has stopped.
    m_sendFirst = sendFirst;
    if (!sendFirst) {
        m_processor->requestStop();
        m_processor->cancelCalls();
    }
    // A run the close request started itself is followed by the close anyway.
    if (!m_closingRun)
        m_closePending = true;
    return false;
}

void CallControl::runEnded()
{
    if (!m_closePending)
        return;
    m_closePending = false;
    if (m_sendFirst)
        endOfClosingRun();
    m_closeApproved = true;
    emit closeDue();
}

void CallControl::endOfClosingRun()
{
    m_log.addTransmitLog(HyphenLine);
    m_log.addTransmitLog(QString()); // the line ends in CR LF
    m_status.setProgress(QString());
}
