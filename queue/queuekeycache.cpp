#include "queue/queuekeycache.h"

#include "foundation/inilines.h"
#include "queue/messagequeuefile.h"

QueueKeyCache::QueueKeyCache(QString path) : m_path(std::move(path)) {}

bool QueueKeyCache::describesFile() const
{
    return m_signature && *m_signature == FileStamp::of(m_path);
}

void QueueKeyCache::refresh(const QList<TIniFile::Entry>& pending)
{
    if (describesFile())
        return;
    // The signature first: a change made while the file is read shows as a change next time.
    m_signature = FileStamp::of(m_path);
    m_taken = MessageQueueFile(m_path).takenKeys();
    for (const TIniFile::Entry& entry : pending)
        mark(entry);
}

void QueueKeyCache::mark(const TIniFile::Entry& entry)
{
    const auto n = MessageQueueFile::messageNumber(entry.key);
    if (!n || *n < 1 || *n > MessageQueueFile::MaxMessageNumber || entry.value.isEmpty())
        return;
    const QByteArray section = IniLines::folded(entry.section.trimmed());
    auto it = m_taken.find(section);
    if (it == m_taken.end())
        it = m_taken.insert(section, std::vector<bool>(MessageQueueFile::MaxMessageNumber + 1));
    (*it)[*n] = true;
}

std::optional<QList<qint32>> QueueKeyCache::take(const QList<QueueSubmission>& submissions)
{
    QList<qint32> numbers;
    for (const QueueSubmission& s : submissions) {
        const QByteArray section = IniLines::folded(s.accessNumber.trimmed());
        auto it = m_taken.find(section);
        if (it == m_taken.end())
            it = m_taken.insert(section, std::vector<bool>(MessageQueueFile::MaxMessageNumber + 1));
        qint32 n = 1;
        while (n <= MessageQueueFile::MaxMessageNumber && (*it)[n])
            ++n;
        if (n > MessageQueueFile::MaxMessageNumber) {
            forget();
            return std::nullopt;
        }
        (*it)[n] = true;
        numbers.append(n);
    }
    return numbers;
}

void QueueKeyCache::adoptFile()
{
    m_signature = FileStamp::of(m_path);
}

void QueueKeyCache::forget()
{
    m_signature.reset();
    m_taken.clear();
}
