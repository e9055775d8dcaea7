#include "server/servercore.h"

#include "foundation/datetimetext.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "server/serverlistener.h"
#include "server/transactionlog.h"

#include <QPointer>

ServerCore::ServerCore(QString dataDir, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_dataDir(std::move(dataDir)), m_prompts(prompts),
      m_listener(new ServerListener(*this, this)), m_config(TServerConfig::defaults(m_dataDir))
{
    m_panels[PanelQueued] = QStringLiteral("Queued: 0");
    m_panels[PanelNextCheck] = QStringLiteral("Next Check: 0");
}

ServerCore::~ServerCore() = default;

QString ServerCore::dataFile(const QString& name) const
{
    return m_dataDir + QLatin1Char('/') + name;
}

void ServerCore::setQueuedCount(qint32 count)
{
    m_queuedCount = count;
    setPanelText(PanelQueued, QStringLiteral("Queued: %1").arg(count));
}

void ServerCore::setNextCheck(qint32 minutes)
{
    m_nextCheck = minutes;
    setPanelText(PanelNextCheck, QStringLiteral("Next Check: %1").arg(minutes));
}

void ServerCore::addConnectionLog(const QString& line)
{
    m_connectionLog.append(line);
    if (m_connectionLog.size() > LiveLogLines)
        m_connectionLog.removeFirst();
    emit connectionLogAdded(line);
}

void ServerCore::addTransmitLog(const QString& line)
{
    m_transmitLog.append(line);
    if (m_transmitLog.size() > LiveLogLines)
        m_transmitLog.removeFirst();
    emit transmitLogAdded(line);
}

void ServerCore::clearConnectionLog()
{
    m_connectionLog.clear();
    emit connectionLogCleared();
}

void ServerCore::clearTransmitLog()
{
    m_transmitLog.clear();
    emit transmitLogCleared();
}

QString ServerCore::panelText(int panel) const
{
    return panel >= 0 && panel < 4 ? m_panels[panel] : QString();
}

void ServerCore::setPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= 4)
        return;
    m_panels[panel] = text;
    emit panelTextChanged(panel, text);
}

void ServerCore::AppendLog(const QByteArray& text)
{
    if (!m_config.Logging)
        return;
    try {
        TransactionLog::append(m_dataDir, text, now());
    } catch (const EZelkorError& error) {
        if (m_logFailureShown)
            return;
        m_logFailureShown = true;
        addConnectionLog(QStringLiteral("Transaction Log Not Written: ") + error.text());
        QPointer<ServerCore> self(this);
        m_prompts.notifyError(error.text(), [self] {
            if (self)
                self->m_logFailureShown = false;
        });
    }
}

QString ServerCore::timeStamp() const
{
    return DateTimeText::format(now());
}
