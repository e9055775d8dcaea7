#include "queue/callcontrol.h"

#include "foundation/operatorprompts.h"
#include "paging/tomxpage.h"
#include "queue/callprocessor.h"
#include "server/servercore.h"

namespace {
const QString HyphenLine = QStringLiteral("--------------------------");
}

CallControl::CallControl(ServerCore& core, QObject* parent)
    : QObject(parent), m_core(core), m_engine(std::make_unique<TOMXPage>())
{
    // OMXPage1 as the main window creates it: COM1 at 2400 baud, 7 data bits, even parity, tone
    // dialling, "ATZ", 80 characters; the run sets port and line settings before each call.
    m_engine->setDeviceDirectory(m_core.dataDir());
    m_engine->setComPort(pnCOM1);
    m_engine->setComPortSpeed(br2400);
    m_engine->setComPortDataBits(db7BITS);
    m_engine->setComPortParity(ptEVEN);
    m_engine->setComPortPollingDelay(0);
    m_engine->setDialMethod(dmTone);
    m_engine->setInitString("ATZ");
    m_engine->setMsgLength(80);
    m_engine->setPinNumber(PlaceholderPin);
    m_engine->setOnPageProgress([this](const QByteArray& text) { OMXPage1PageProgress(text); });
    m_processor = std::make_unique<CallProcessor>(m_core, *m_engine);
}

CallControl::~CallControl() = default;

void CallControl::SendNow1Click()
{
    m_processor->ProcessCalls();
    m_core.setPanelText(ServerCore::PanelProgress, QString());
}

void CallControl::CancelCall1Click()
{
    m_engine->Disconnect();
}

void CallControl::automaticRun()
{
    m_core.setServerBusy(true);
    m_processor->ProcessCalls();
}

void CallControl::OMXPage1PageProgress(const QByteArray& text)
{
    const QString line = m_core.timeStamp() + QStringLiteral("  ") + QString::fromLatin1(text);
    m_core.setPanelText(ServerCore::PanelProgress, QString::fromLatin1(text));
    m_core.addTransmitLog(line);
    m_core.AppendLog(line.toLatin1());
}

bool CallControl::FormCloseQuery(const std::function<void()>& stopListening)
{
    IOperatorPrompts& prompts = m_core.prompts();
    if (m_engine->PortOpen()) {
        if (!prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                              QStringLiteral("Connection Active! Terminate?")))
            return false;
        m_engine->Disconnect();
    }
    if (m_core.queuedCount() > 0) {
        const bool sendFirst =
            prompts.askYesNo(IOperatorPrompts::BoxKind::Warning,
                             QStringLiteral("Message In Queue! Terminating Will Clear Queue\r\n"
                                            "Send Queued Messages Firest?"));
        if (stopListening)
            stopListening();
        if (sendFirst) {
            m_processor->ProcessCalls();
            m_core.addTransmitLog(HyphenLine);
            m_core.addTransmitLog(QString()); // the line ends in CR LF
            m_core.setPanelText(ServerCore::PanelProgress, QString());
        }
    }
    return true;
}
