#include "core/serverstate.h"

#include "core/allowlist.h"
#include "core/transactionlog.h"
#include "foundation/datetimetext.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"
#include "queue/messagequeue.h"

#include <QPointer>

ServerState::ServerState(QString dataDir, IOperatorPrompts& prompts, QObject* parent)
    : QObject(parent), m_dataDir(std::move(dataDir)), m_prompts(prompts),
      m_config(TServerConfig::defaults(m_dataDir)), m_queue(new MessageQueue(m_dataDir, this))
{
    connect(m_queue, &MessageQueue::countChanged, this, &ServerState::queuedCountChanged);
}

ServerState::~ServerState() = default;

void ServerState::setConfig(const TServerConfig& config)
{
    m_config = config;
    emit configChanged();
}

void ServerState::setAllowList(const QList<QByteArray>& lines)
{
    m_allowList = lines;
    emit allowListChanged();
}

void ServerState::loadAllowList()
{
    const AllowList::Reading file = AllowList::read(m_dataDir);
    const QString path = AllowList::filePath(m_dataDir);
    QString problem;
    switch (file.status) {
    case FileStore::FileBytes::Status::Read:
        setAllowList(file.lines);
        return;
    case FileStore::FileBytes::Status::Missing:
        setAllowList({});
        problem = QStringLiteral("Allow.txt not found (%1): no access number is allowed until it "
                                 "lists some")
                      .arg(path);
        // A state to know of rather than an event of the transaction log.
        addConnectionLog(problem);
        return;
    case FileStore::FileBytes::Status::Unreadable:
        break;
    }
    problem = QStringLiteral("Allow.txt could not be read (%1: %2): the allow list in use is kept "
                             "(%3 line(s))")
                  .arg(path, file.error)
                  .arg(m_allowList.size());
    addConnectionLog(problem);
    AppendLog(WidgetText::toBytes(problem));
    m_prompts.showError(problem);
}

qint32 ServerState::queuedCount() const
{
    return m_queue->count();
}

void ServerState::setNextCheck(qint32 minutes)
{
    m_nextCheck = minutes;
    emit nextCheckChanged(minutes);
}

void ServerState::setClockText(const QString& text)
{
    m_clockText = text;
    emit clockTextChanged(text);
}

void ServerState::setProgress(const QString& text)
{
    m_progress = text;
    emit progressChanged(text);
}

void ServerState::addConnectionLog(const QString& line)
{
    m_connectionLog.append(line);
    if (m_connectionLog.size() > LiveLogLines)
        m_connectionLog.removeFirst();
    emit connectionLogAdded(line);
}

void ServerState::addTransmitLog(const QString& line)
{
    m_transmitLog.append(line);
    if (m_transmitLog.size() > LiveLogLines)
        m_transmitLog.removeFirst();
    emit transmitLogAdded(line);
}

void ServerState::clearConnectionLog()
{
    m_connectionLog.clear();
    emit connectionLogCleared();
}

void ServerState::clearTransmitLog()
{
    m_transmitLog.clear();
    emit transmitLogCleared();
}

void ServerState::AppendLog(const QByteArray& text)
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
        QPointer<ServerState> self(this);
        m_prompts.notifyError(error.text(), [self] {
            if (self)
                self->m_logFailureShown = false;
        });
    }
}

QString ServerState::timeStamp() const
{
    return DateTimeText::format(now());
}
