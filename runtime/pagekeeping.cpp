#include "runtime/pagekeeping.h"

#include "core/ilogsinks.h"
#include "foundation/widgettext.h"
#include "pages/notifyrunner.h"
#include "pages/pagequeue.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"

namespace {

QByteArray idList(const QList<qint64>& ids)
{
    QByteArray text;
    for (const qint64 id : ids) {
        if (!text.isEmpty())
            text += ',';
        text += QByteArray::number(id);
    }
    return text;
}

} // namespace

PageKeeping::PageKeeping(const QString& dataDir, MessageQueue& queue, ILogSinks& log,
                         QObject* parent)
    : QObject(parent), m_dataDir(dataDir), m_queue(queue), m_log(log),
      m_store(std::make_unique<PageStore>(dataDir)),
      m_pageQueue(std::make_unique<PageQueue>(*m_store, queue)),
      m_notify(std::make_unique<NotifyRunner>(*m_store))
{
    connect(m_notify.get(), &NotifyRunner::commandEnded, this,
            [this](qint64, NotifyRunner::Outcome outcome, const QByteArray& line) {
                if (outcome != NotifyRunner::Outcome::Succeeded)
                    note(line);
            });
}

PageKeeping::~PageKeeping() = default;

void PageKeeping::loadSettings()
{
    QString problem;
    if (const std::optional<PagesSettings> read = PagesSettings::read(m_dataDir, problem))
        m_settings = *read;
    else
        note(WidgetText::toBytes(problem));
    m_notify->setCommand(m_settings.notifyCommand);
}

void PageKeeping::startUp()
{
    loadSettings();
    const ReconcileReport report = m_store->reconcile(m_queue.file());
    m_pageQueue->remove(report.toRemove);
    if (!report.requeued.isEmpty())
        note("Pages Queued Again After An Interrupted Call: " + idList(report.requeued));
    if (!report.lost.isEmpty())
        note("Pages Missing From The Queue: " + idList(report.lost));
    if (!report.adopted.isEmpty())
        note("Queued Messages Without A Page Record Given Ids: " + idList(report.adopted));
    m_notify->poll();
}

void PageKeeping::atCheck()
{
    m_store->releaseDue();
    const PageStore::PruneResult pruned = m_store->prune(m_settings);
    m_pageQueue->remove(pruned.expired);
    m_notify->poll();
}

void PageKeeping::note(const QByteArray& line)
{
    m_log.addConnectionLog(WidgetText::fromBytes(line));
    m_log.AppendLog(line);
}
