#include "queue/messagequeuefile.h"

#include "foundation/tinifile.h"

#include <QFile>

#include <vector>

namespace {

// The n of a key that reads back under "MSG" + n exactly, i.e. without leading zeros.
std::optional<qint32> canonicalMessageNumber(const QByteArray& key)
{
    const auto n = MessageQueueFile::messageNumber(key);
    if (!n || key.size() > 3 + 4 || key.at(3) == '0')
        return std::nullopt;
    return n;
}

} // namespace

MessageQueueFile::MessageQueueFile(QString path) : m_path(std::move(path)) {}

QByteArray MessageQueueFile::messageKey(qint32 n)
{
    return "MSG" + QByteArray::number(n);
}

std::optional<qint32> MessageQueueFile::messageNumber(const QByteArray& key)
{
    if (key.size() < 4 || key.size() > 3 + 9 || !key.left(3).toUpper().startsWith("MSG"))
        return std::nullopt;
    qint32 n = 0;
    for (qsizetype i = 3; i < key.size(); ++i) {
        const char c = key.at(i);
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::optional<qint32> MessageQueueFile::nextFreeMessageKey(const QByteArray& section) const
{
    std::vector<bool> taken(MaxMessageNumber + 1, false);
    for (const auto& [key, value] : TIniFile(m_path).ReadSection(section)) {
        const auto n = canonicalMessageNumber(key);
        if (n && *n >= 1 && *n <= MaxMessageNumber && !value.isEmpty())
            taken[*n] = true;
    }
    for (qint32 n = 1; n <= MaxMessageNumber; ++n) {
        if (!taken[n])
            return n;
    }
    return std::nullopt;
}

void MessageQueueFile::writeSubmission(const QByteArray& section, const LineSettings& settings,
                                       qint32 n, const QueueEntry& entry)
{
    // In the writers' order, with one rewrite of the file instead of six: a submission costs
    // one read and one write however long the queue is.
    TIniFile(m_path).WriteTexts(section, {{"Password", settings.password},
                                          {"Length", settings.length},
                                          {"Parity", QByteArray::number(settings.parity)},
                                          {"DataBits", QByteArray::number(settings.dataBits)},
                                          {"StopBits", QByteArray::number(settings.stopBits)},
                                          {messageKey(n), entry.format()}});
}

void MessageQueueFile::writeTestMessage(const QByteArray& section, qint32 n, const QByteArray& pin)
{
    TIniFile ini(m_path);
    ini.WriteText(section, "Length", "140");
    ini.WriteNumber(section, "Parity", 2);
    ini.WriteNumber(section, "DataBits", 2);
    ini.WriteNumber(section, "StopBits", 0);
    ini.WriteText(section, messageKey(n), testEntry(pin).format());
}

QueueEntry MessageQueueFile::testEntry(const QByteArray& pin)
{
    QueueEntry entry;
    entry.message = "Zelkor LAN Server Test";
    entry.pin = pin;
    entry.sender = "0.0.0.127";
    entry.addressee = "Torvex LAN Server";
    return entry;
}

bool MessageQueueFile::exists() const
{
    return QFile::exists(m_path);
}

bool MessageQueueFile::remove() const
{
    QFile::remove(m_path);
    return !QFile::exists(m_path);
}

std::optional<qint32> nextFreeMessageKey(const QString& path, const QByteArray& section)
{
    return MessageQueueFile(path).nextFreeMessageKey(section);
}
