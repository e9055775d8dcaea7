#include "pages/pagequeue.h"

#include "foundation/errors.h"
#include "foundation/widgettext.h"
#include "pages/pagestore.h"
#include "queue/messagequeue.h"
#include "queue/queuesubmission.h"

PageQueue::PageQueue(PageStore& store, MessageQueue& queue) : m_store(store), m_queue(queue) {}

void PageQueue::setStepObserver(std::function<void(Step)> observer)
{
    m_observer = std::move(observer);
}

void PageQueue::setOnTaken(std::function<void(const QList<NewPage>&)> onTaken)
{
    m_onTaken = std::move(onTaken);
}

void PageQueue::step(Step step) const
{
    if (m_observer)
        m_observer(step);
}

std::optional<QList<qint64>> PageQueue::take(const QList<NewPage>& pages)
{
    if (pages.isEmpty())
        return QList<qint64>{};
    step(Step::Accept);
    const QList<qint64> ids = m_store.accept(pages);
    QList<QueueSubmission> submissions;
    for (const NewPage& page : pages)
        submissions.append({page.section, page.settings, page.entry});
    std::optional<QList<qint32>> numbers;
    try {
        step(Step::QueueWrite);
        numbers = m_queue.add(submissions);
    } catch (const EZelkorError&) {
        m_store.abandon(ids);
        throw;
    }
    if (!numbers) {
        m_store.abandon(ids);
        return std::nullopt;
    }
    step(Step::Confirm);
    m_store.confirmQueued(ids, pages, *numbers);
    if (m_onTaken)
        m_onTaken(pages);
    return ids;
}

std::optional<qint64> PageQueue::takeTestMessage(const QByteArray& accessNumber,
                                                 const QByteArray& pin)
{
    NewPage page;
    page.pagerId = pin;
    page.section = accessNumber;
    page.settings.password = m_queue.readCompany(accessNumber).text("Password", QByteArray());
    page.settings.length = MessageQueueFile::TestMessageLength;
    page.settings.parity = MessageQueueFile::TestMessageParity;
    page.settings.dataBits = MessageQueueFile::TestMessageDataBits;
    page.settings.stopBits = MessageQueueFile::TestMessageStopBits;
    page.entry = MessageQueueFile::testEntry(pin);
    page.frontEnd = FrontEnd::Test;
    step(Step::Accept);
    const QList<qint64> ids = m_store.accept({page});
    std::optional<qint32> number;
    try {
        step(Step::QueueWrite);
        number = m_queue.addTestMessage(accessNumber, pin);
    } catch (const EZelkorError&) {
        m_store.abandon(ids);
        throw;
    }
    if (!number) {
        m_store.abandon(ids);
        return std::nullopt;
    }
    step(Step::Confirm);
    m_store.confirmQueued(ids, {page}, {*number});
    return ids.first();
}

void PageQueue::delivered(qint64 id, const QByteArray& section,
                          const QueuedCompany::Message& message)
{
    step(Step::RecordFate);
    m_store.markDelivered(id);
    finish(id, section, message);
}

void PageQueue::failed(qint64 id, const QByteArray& reason, const QByteArray& section,
                       const QueuedCompany::Message& message)
{
    step(Step::RecordFate);
    m_store.markFailed(id, reason);
    finish(id, section, message);
}

void PageQueue::finish(qint64 id, const QByteArray& section, const QueuedCompany::Message& message)
{
    // Whether or not the line is still there (the operator may have cleared the queue during
    // the call), it is not any more.
    step(Step::RemoveEntry);
    m_queue.removeMessage(section, message);
    step(Step::RecordRemoval);
    m_store.markRemoved({id});
}

QList<qint64> PageQueue::clear(const QByteArray& reason)
{
    step(Step::RecordCancel);
    const QList<qint64> ids = m_store.markCancelled(reason);
    step(Step::DeleteQueue);
    if (!m_queue.clear())
        throw EZelkorError("Unable to delete " + WidgetText::toFileName(m_queue.path()));
    step(Step::RecordRemoval);
    m_store.markQueueDeleted();
    return ids;
}

void PageQueue::remove(const QList<ReconcileReport::Removal>& removals)
{
    for (const ReconcileReport::Removal& removal : removals) {
        step(Step::RemoveEntry);
        m_queue.removeMessage(removal.section, removal.message);
        step(Step::RecordRemoval);
        m_store.markRemoved({removal.id});
    }
}
