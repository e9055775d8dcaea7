#include "queue/messagequeue.h"

#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/inientrybatch.h"
#include "foundation/inilines.h"
#include "foundation/widgettext.h"

#include <QFileInfo>
#include <QtGlobal>

MessageQueue::MessageQueue(const QString& dataDir, QObject* parent)
    : QObject(parent), m_file(MessageQueueFile::pathIn(dataDir)),
      m_journal(QueueJournal::pathIn(dataDir)), m_keys(m_file.path())
{
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(SyncDelayMs);
    connect(&m_syncTimer, &QTimer::timeout, this, [this] {
        try {
            sync();
        } catch (const EZelkorError&) {
            // The journal keeps the pages; the next read of the queue tries again and reports
            // what keeps failing.
            m_syncTimer.start(SyncDelayMs * 5);
        }
    });
}

MessageQueue::~MessageQueue()
{
    try {
        sync();
        m_journal.removeIfEmpty();
    } catch (const EZelkorError&) {
        // The journal keeps what Message.Dat lacks; the next start replays it.
    }
}

void MessageQueue::setDirectWriteLimit(qint64 bytes)
{
    m_directWriteLimit = bytes;
}

EIniFileError MessageQueue::queueWriteError() const
{
    // The operator knows the queue as Message.Dat; its journal is part of it.
    return EIniFileError("Unable to write to " + WidgetText::toBytes(m_file.path()));
}

void MessageQueue::loadJournal() const
{
    if (m_journalLoaded)
        return;
    // What a previous run took and had not written into Message.Dat when it ended.
    QList<QueueJournal::Batch> batches;
    try {
        batches = m_journal.load();
    } catch (const EZelkorError&) {
        throw queueWriteError();
    }
    for (const QueueJournal::Batch& batch : batches) {
        m_pending += batch;
        for (const TIniFile::Entry& entry : batch)
            m_pendingPages += MessageQueueFile::messageNumber(entry.key) ? 1 : 0;
    }
    m_journalLoaded = true;
}

void MessageQueue::sync() const
{
    loadJournal();
    if (m_pending.isEmpty())
        return;
    const bool keysCurrent = m_keys.describesFile();
    const QByteArray text = IniEntryBatch::apply(IniLines::read(m_file.path()), m_pending);
    m_syncFailing = !FileStore::writeAtomically(m_file.path(), text);
    if (m_syncFailing)
        throw queueWriteError();
    if (keysCurrent)
        m_keys.adoptFile();
    else
        m_keys.forget();
    // Only once Message.Dat holds the pages on the disk: a kill before this line replays them
    // into a file that holds them already, which changes nothing.
    try {
        m_journal.reset();
    } catch (const EZelkorError&) {
        throw queueWriteError();
    }
    m_pending.clear();
    m_pendingPages = 0;
}

qint32 MessageQueue::pagesNotInFile() const
{
    return m_pendingPages;
}

const MessageQueueFile& MessageQueue::file() const
{
    sync();
    return m_file;
}

bool MessageQueue::exists() const
{
    loadJournal();
    return !m_pending.isEmpty() || m_file.exists();
}

qint32 MessageQueue::messagesInFile() const
{
    sync();
    return m_file.countMessages();
}

bool MessageQueue::holdsMessages() const
{
    loadJournal();
    if (m_count > 0 || m_pendingPages > 0)
        return true;
    return messagesInFile() > 0;
}

std::optional<qint32> MessageQueue::takeOver()
{
    sync();
    if (!m_file.exists()) {
        setCount(0);
        return std::nullopt;
    }
    setCount(m_file.countMessages());
    return m_count;
}

std::optional<QList<qint32>> MessageQueue::add(const QList<QueueSubmission>& submissions)
{
    loadJournal();
    if (m_pending.isEmpty() && QFileInfo(m_file.path()).size() < m_directWriteLimit) {
        // A short queue is rewritten at once: no dearer than the journal's append at this size,
        // and Message.Dat is current for anyone who reads it.
        std::optional<QList<qint32>> numbers = m_file.writeSubmissions(submissions);
        m_keys.forget();
        if (numbers)
            setCount(m_count + static_cast<qint32>(numbers->size()));
        return numbers;
    }
    // A queue file that cannot be written refuses pages as it did before they went through the
    // journal: a folder in its place, or a write of it that failed and fails again.
    if (m_syncFailing)
        sync();
    const QFileInfo info(m_file.path());
    if (info.exists() && !info.isFile())
        throw queueWriteError();
    m_keys.refresh(m_pending);
    const std::optional<QList<qint32>> numbers = m_keys.take(submissions);
    if (!numbers)
        return std::nullopt;
    QueueJournal::Batch batch;
    for (qsizetype i = 0; i < submissions.size(); ++i)
        batch += MessageQueueFile::submissionEntries(submissions[i], (*numbers)[i]);
    try {
        m_journal.append(batch);
    } catch (const EZelkorError&) {
        m_keys.forget();
        throw queueWriteError();
    }
    m_pending += batch;
    m_pendingPages += static_cast<qint32>(submissions.size());
    setCount(m_count + static_cast<qint32>(numbers->size()));
    scheduleSync();
    return numbers;
}

void MessageQueue::scheduleSync()
{
    if (!m_syncTimer.isActive())
        m_syncTimer.start(SyncDelayMs);
}

std::optional<qint32> MessageQueue::addTestMessage(const QByteArray& accessNumber,
                                                   const QByteArray& pin)
{
    sync();
    // A message already queued under MSG1 must not be overwritten by the test, so the test
    // takes the section's next free key as a submission does.
    const std::optional<qint32> n = m_file.nextFreeMessageKey(accessNumber);
    if (!n)
        return std::nullopt;
    m_file.writeTestMessage(accessNumber, *n, pin);
    m_keys.forget();
    setCount(m_count + 1);
    return n;
}

bool MessageQueue::clear()
{
    // The pages not yet in the file go into it first, so that a kill at any point of the clear
    // leaves either the whole queue or none of it, never a journal to replay into a deleted
    // queue.
    try {
        sync();
    } catch (const EZelkorError&) {
        return false;
    }
    m_keys.forget();
    // The file goes first: if it cannot be deleted, the count keeps showing what is queued
    // instead of claiming an empty queue.
    if (!m_file.remove())
        return false;
    setCount(0);
    return true;
}

QList<QByteArray> MessageQueue::sectionNames() const
{
    sync();
    return m_file.sectionNames();
}

QueuedCompany MessageQueue::readCompany(const QByteArray& section) const
{
    sync();
    return m_file.readCompany(section);
}

bool MessageQueue::removeMessage(const QByteArray& section, const QueuedCompany::Message& message)
{
    sync();
    if (!m_file.removeMessage(section, message))
        return false;
    m_keys.forget();
    // A count reset by a clearing during the call counts only what was queued after it.
    setCount(qMax(0, m_count - 1));
    return true;
}

bool MessageQueue::removeSectionIfEmpty(const QByteArray& section)
{
    sync();
    m_keys.forget();
    return m_file.removeSectionIfEmpty(section);
}

void MessageQueue::recount()
{
    sync();
    setCount(m_file.countMessages());
}

void MessageQueue::setCount(qint32 count)
{
    m_count = count;
    emit countChanged(count);
}
