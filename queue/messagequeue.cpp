#include "queue/messagequeue.h"

#include <QtGlobal>

MessageQueue::MessageQueue(const QString& dataDir, QObject* parent)
    : QObject(parent), m_file(MessageQueueFile::pathIn(dataDir))
{
}

MessageQueue::~MessageQueue() = default;

bool MessageQueue::exists() const
{
    return m_file.exists();
}

qint32 MessageQueue::messagesInFile() const
{
    return m_file.countMessages();
}

bool MessageQueue::holdsMessages() const
{
    return m_count > 0 || messagesInFile() > 0;
}

std::optional<qint32> MessageQueue::takeOver()
{
    if (!m_file.exists()) {
        setCount(0);
        return std::nullopt;
    }
    setCount(m_file.countMessages());
    return m_count;
}

std::optional<QList<qint32>> MessageQueue::add(const QList<QueueSubmission>& submissions)
{
    std::optional<QList<qint32>> numbers = m_file.writeSubmissions(submissions);
    if (numbers)
        setCount(m_count + static_cast<qint32>(numbers->size()));
    return numbers;
}

std::optional<qint32> MessageQueue::addTestMessage(const QByteArray& accessNumber,
                                                   const QByteArray& pin)
{
    // A message already queued under MSG1 must not be overwritten by the test, so the test
    // takes the section's next free key as a submission does.
    const std::optional<qint32> n = m_file.nextFreeMessageKey(accessNumber);
    if (!n)
        return std::nullopt;
    m_file.writeTestMessage(accessNumber, *n, pin);
    setCount(m_count + 1);
    return n;
}

bool MessageQueue::clear()
{
    // The file goes first: if it cannot be deleted, the count keeps showing what is queued
    // instead of claiming an empty queue.
    if (!m_file.remove())
        return false;
    setCount(0);
    return true;
}

QList<QByteArray> MessageQueue::sectionNames() const
{
    return m_file.sectionNames();
}

QueuedCompany MessageQueue::readCompany(const QByteArray& section) const
{
    return m_file.readCompany(section);
}

bool MessageQueue::removeMessage(const QByteArray& section, const QueuedCompany::Message& message)
{
    if (!m_file.removeMessage(section, message))
        return false;
    // A count reset by a clearing during the call counts only what was queued after it.
    setCount(qMax(0, m_count - 1));
    return true;
}

bool MessageQueue::removeSectionIfEmpty(const QByteArray& section)
{
    return m_file.removeSectionIfEmpty(section);
}

void MessageQueue::recount()
{
    setCount(m_file.countMessages());
}

void MessageQueue::setCount(qint32 count)
{
    m_count = count;
    emit countChanged(count);
}
