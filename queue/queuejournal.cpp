#include "queue/queuejournal.h"

#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/widgettext.h"

#include <QFile>

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Magic = "ZQJ1";
constexpr qsizetype HeaderSize = 12;
// No batch comes near this; a length above it is damage, not a record.
constexpr quint32 MaxPayload = 64u << 20;

quint32 crc32(QByteArrayView bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes)
        c = table[(c ^ static_cast<quint8>(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putNumber(QByteArray& out, quint32 n)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((n >> shift) & 0xFF));
}

// The little-endian number at `at`, which the caller has checked lies within `bytes`.
quint32 numberAt(QByteArrayView bytes, qsizetype at)
{
    quint32 n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | static_cast<quint8>(bytes[at + i]);
    return n;
}

void putField(QByteArray& out, const QByteArray& field)
{
    putNumber(out, static_cast<quint32>(field.size()));
    out += field;
}

// Reads numbers and fields from a payload, failing (and staying failed) at its end.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_bytes.size(); }
    quint32 number()
    {
        if (!m_ok || m_bytes.size() - m_at < 4) {
            m_ok = false;
            return 0;
        }
        const quint32 n = numberAt(m_bytes, m_at);
        m_at += 4;
        return n;
    }
    QByteArray field()
    {
        const quint32 size = number();
        if (!m_ok || static_cast<quint64>(m_bytes.size() - m_at) < size) {
            m_ok = false;
            return {};
        }
        const QByteArray out = m_bytes.sliced(m_at, size).toByteArray();
        m_at += size;
        return out;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

bool writeAll(int fd, const QByteArray& bytes, qint64 offset)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done,
                                   static_cast<size_t>(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QString QueueJournal::pathIn(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}

QueueJournal::QueueJournal(QString path) : m_path(std::move(path)) {}

QueueJournal::~QueueJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void QueueJournal::fail() const
{
    throw EIniFileError("Unable to write to " + WidgetText::toBytes(m_path));
}

void QueueJournal::open()
{
    if (m_fd >= 0)
        return;
    const QByteArray name = QFile::encodeName(m_path);
    struct stat before;
    const bool existed = ::stat(name.constData(), &before) == 0;
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        fail();
    struct stat now;
    if (::fstat(m_fd, &now) != 0) {
        ::close(m_fd);
        m_fd = -1;
        fail();
    }
    m_size = now.st_size;
    if (!existed) {
        // A new file's name must survive a power loss as well as its first batch.
        const QByteArray folder = QFile::encodeName(FileStore::directoryPart(m_path));
        const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
}

QList<QueueJournal::Batch> QueueJournal::load()
{
    if (!QFile::exists(m_path) && m_fd < 0) {
        m_size = 0;
        return {};
    }
    open();
    QByteArray bytes(m_size, Qt::Uninitialized);
    qsizetype read = 0;
    while (read < bytes.size()) {
        const ssize_t n =
            ::pread(m_fd, bytes.data() + read, static_cast<size_t>(bytes.size() - read), read);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EIniFileError("Unable to read " + WidgetText::toBytes(m_path));
        read += n;
    }
    qsizetype used = 0;
    const QList<Batch> batches = decode(bytes, &used);
    if (used < m_size) {
        // A batch cut short by a kill, or damage: never acknowledged, and in the way of the
        // next append.
        if (::ftruncate(m_fd, used) != 0 || ::fdatasync(m_fd) != 0)
            fail();
        m_size = used;
    }
    return batches;
}

void QueueJournal::append(const Batch& batch)
{
    open();
    const QByteArray record = encode(batch);
    if (!writeAll(m_fd, record, m_size) || ::fdatasync(m_fd) != 0) {
        // Whatever part reached the file goes again, so the next batch follows a whole record.
        if (::ftruncate(m_fd, m_size) == 0)
            ::fdatasync(m_fd);
        fail();
    }
    m_size += record.size();
}

void QueueJournal::reset()
{
    if (m_fd < 0 && !QFile::exists(m_path)) {
        m_size = 0;
        return;
    }
    open();
    if (::ftruncate(m_fd, 0) != 0 || ::fdatasync(m_fd) != 0)
        fail();
    m_size = 0;
}

void QueueJournal::removeIfEmpty()
{
    if (m_size != 0)
        return;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    QFile::remove(m_path);
}

QByteArray QueueJournal::encode(const Batch& batch)
{
    QByteArray payload;
    putNumber(payload, static_cast<quint32>(batch.size()));
    for (const TIniFile::Entry& entry : batch) {
        putField(payload, entry.section);
        putField(payload, entry.key);
        putField(payload, entry.value);
    }
    QByteArray record = Magic;
    putNumber(record, static_cast<quint32>(payload.size()));
    putNumber(record, crc32(payload));
    return record + payload;
}

QList<QueueJournal::Batch> QueueJournal::decode(const QByteArray& bytes, qsizetype* used)
{
    QList<Batch> batches;
    qsizetype at = 0;
    while (bytes.size() - at >= HeaderSize && bytes.sliced(at, 4) == Magic) {
        const quint32 size = numberAt(bytes, at + 4);
        const quint32 sum = numberAt(bytes, at + 8);
        if (size > MaxPayload || static_cast<quint64>(bytes.size() - at - HeaderSize) < size)
            break;
        const QByteArrayView payload = QByteArrayView(bytes).sliced(at + HeaderSize, size);
        if (crc32(payload) != sum)
            break;
        Reader reader(payload);
        const quint32 count = reader.number();
        Batch batch;
        for (quint32 i = 0; reader.ok() && i < count; ++i) {
            TIniFile::Entry entry;
            entry.section = reader.field();
            entry.key = reader.field();
            entry.value = reader.field();
            batch.append(entry);
        }
        if (!reader.ok() || !reader.atEnd())
            break;
        batches.append(batch);
        at += HeaderSize + size;
    }
    if (used)
        *used = at;
    return batches;
}
