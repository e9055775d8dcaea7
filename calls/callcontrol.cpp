#include "calls/callcontrol.h"

#include "calls/callprocessor.h"
#include "core/serverstate.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "paging/tomxpage.h"

namespace {
const QString HyphenLine = QStringLiteral("--------------------------");
}

CallControl::CallControl(ServerState& state, IOperatorPrompts& prompts)
    : m_status(state), m_log(state), m_prompts(prompts), m_engine(std::make_unique<TOMXPage>())
{
    // OMXPage1 as the main window creates it: COM1 at 2400 baud, 7 data bits, even parity, tone
    // dialling, "ATZ", 80 characters; the run sets port and line settings before each call.
    m_engine->setDeviceDirectory(state.dataDir());
    m_engine->setComPort(pnCOM1);
    m_engine->setComPortSpeed(br2400);
    m_engine->setComPortDataBits(db7BITS);
    m_engine->setComPortParity(ptEVEN);
    m_engine->setComPortPollingDelay(0);
    m_engine->setDialMethod(dmTone);
    m_engine->setInitString("ATZ");
    m_engine->setMsgLength(80);
    m_engine->setPinNumber(PlaceholderPin);
    m_engine->setOnPageProgress([this](const QByteArray& text) { pageProgress(text); });
    m_processor = std::make_unique<CallProcessor>(state, prompts, *m_engine);
    connect(m_processor.get(), &CallProcessor::runEnded, this, &CallControl::runEnded);
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
    // The modem between calls, or whichever line the call in hand is on.
    m_processor->lineInUse().Disconnect();
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
    if (m_processor->lineInUse().inCall()) {
        if (!prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                              QStringLiteral("Connection Active! Terminate?")))
            return false;
        // During a run the call ends only once the operator has said whether the queue is to
        // be sent first: the running call then goes on delivering it.
        // The line is asked for again: the call may have moved on while the box was open.
        if (!duringRun)
            m_processor->lineInUse().Disconnect();
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
        IPagingLine& line = m_processor->lineInUse();
        if (line.inCall())
            line.Disconnect();
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
