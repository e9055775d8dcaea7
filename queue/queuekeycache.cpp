#include "queue/queuekeycache.h"

#include "foundation/inilines.h"
#include "queue/messagequeuefile.h"

#include <QFile>

#include <sys/stat.h>

QueueKeyCache::QueueKeyCache(QString path) : m_path(std::move(path)) {}

QueueKeyCache::Signature QueueKeyCache::signature() const
{
    Signature s;
    struct stat info;
    if (::stat(QFile::encodeName(m_path).constData(), &info) != 0)
        return s;
    s.exists = true;
    s.device = static_cast<quint64>(info.st_dev);
    s.inode = static_cast<quint64>(info.st_ino);
    s.size = static_cast<qint64>(info.st_size);
    s.changedNs = static_cast<qint64>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    s.modifiedNs = static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return s;
}

bool QueueKeyCache::describesFile() const
{
    return m_signature && *m_signature == signature();
}

void QueueKeyCache::refresh(const QList<TIniFile::Entry>& pending)
{
    if (describesFile())
        return;
    // The signature first: a change made while the file is read shows as a change next time.
    m_signature = signature();
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
    m_signature = signature();
}

void QueueKeyCache::forget()
{
    m_signature.reset();
    m_taken.clear();
}
