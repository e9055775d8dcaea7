#include "queue/messagequeuefile.h"

#include "foundation/errors.h"
#include "foundation/inilines.h"
#include "foundation/tinifile.h"
#include "foundation/widgettext.h"

#include <QFile>
#include <QHash>
#include <QSet>

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

// Which of MSG1..MaxMessageNumber hold a message in the section.
std::vector<bool> takenMessageKeys(const QString& path, const QByteArray& section)
{
    std::vector<bool> taken(MessageQueueFile::MaxMessageNumber + 1, false);
    for (const auto& [key, value] : TIniFile(path).ReadSection(section)) {
        const auto n = canonicalMessageNumber(key);
        if (n && *n >= 1 && *n <= MessageQueueFile::MaxMessageNumber && !value.isEmpty())
            taken[*n] = true;
    }
    return taken;
}

// True for an entry that holds a queued message.
bool isMessage(QByteArrayView key, QByteArrayView value)
{
    return !value.isEmpty() && MessageQueueFile::messageNumber(key.toByteArray());
}

// Calls visit(section, line, key, value) for every entry line below a section header, in file
// order; lines before the first header belong to no section.
template <typename Visit> void forEachEntry(const IniLines& file, Visit&& visit)
{
    std::optional<QByteArrayView> section;
    for (qsizetype i = 0; i < file.lines().size(); ++i) {
        const QByteArrayView line = file.lines()[i];
        if (const auto name = IniLines::headerName(line)) {
            section = name;
            continue;
        }
        const auto key = IniLines::entryKey(line);
        if (section && key)
            visit(*section, i, *key, IniLines::valueOf(line));
    }
}

} // namespace

QList<TIniFile::Entry> MessageQueueFile::submissionEntries(const QueueSubmission& s, qint32 n)
{
    const CompanyLineSettings& line = s.settings;
    return {{s.accessNumber, "Password", line.password},
            {s.accessNumber, "Length", QByteArray::number(line.length)},
            {s.accessNumber, "Parity", QByteArray::number(line.parity)},
            {s.accessNumber, "DataBits", QByteArray::number(line.dataBits)},
            {s.accessNumber, "StopBits", QByteArray::number(line.stopBits)},
            {s.accessNumber, MessageQueueFile::messageKey(n), s.entry.format()}};
}

namespace {

void writeLines(const IniLines& file, const QString& path)
{
    if (!file.write(path))
        throw EIniFileError("Unable to write to " + WidgetText::toBytes(path));
}

} // namespace

MessageQueueFile::MessageQueueFile(QString path) : m_path(std::move(path)) {}

QString MessageQueueFile::pathIn(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}

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
    const std::vector<bool> taken = takenMessageKeys(m_path, section);
    for (qint32 n = 1; n <= MaxMessageNumber; ++n) {
        if (!taken[n])
            return n;
    }
    return std::nullopt;
}

void MessageQueueFile::writeSubmission(const QueueSubmission& submission, qint32 n)
{
    // In the writers' order, with one rewrite of the file instead of six: a submission costs
    // one read and one write however long the queue is.
    TIniFile(m_path).WriteEntries(submissionEntries(submission, n));
}

std::optional<QList<qint32>>
MessageQueueFile::writeSubmissions(const QList<QueueSubmission>& submissions)
{
    // The keys handed out here count as taken, so two submissions to one company get two keys.
    QHash<QByteArray, std::vector<bool>> taken;
    QList<qint32> numbers;
    QList<TIniFile::Entry> entries;
    for (const QueueSubmission& s : submissions) {
        const QByteArray folded = s.accessNumber.trimmed().toUpper();
        auto it = taken.find(folded);
        if (it == taken.end())
            it = taken.insert(folded, takenMessageKeys(m_path, s.accessNumber));
        qint32 n = 1;
        while (n <= MaxMessageNumber && (*it)[n])
            ++n;
        if (n > MaxMessageNumber)
            return std::nullopt;
        (*it)[n] = true;
        numbers.append(n);
        entries += submissionEntries(s, n);
    }
    TIniFile(m_path).WriteEntries(entries);
    return numbers;
}

void MessageQueueFile::writeTestMessage(const QByteArray& section, qint32 n, const QByteArray& pin)
{
    TIniFile ini(m_path);
    ini.WriteText(section, "Length", QByteArray::number(TestMessageLength));
    ini.WriteNumber(section, "Parity", TestMessageParity);
    ini.WriteNumber(section, "DataBits", TestMessageDataBits);
    ini.WriteNumber(section, "StopBits", TestMessageStopBits);
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

QHash<QByteArray, std::vector<bool>> MessageQueueFile::takenKeys() const
{
    QHash<QByteArray, std::vector<bool>> taken;
    forEachEntry(IniLines::read(m_path),
                 [&](QByteArrayView section, qsizetype, QByteArrayView key, QByteArrayView value) {
                     const auto n = canonicalMessageNumber(key.toByteArray());
                     if (!n || *n < 1 || *n > MaxMessageNumber || value.isEmpty())
                         return;
                     auto it = taken.find(IniLines::folded(section));
                     if (it == taken.end())
                         it = taken.insert(IniLines::folded(section),
                                           std::vector<bool>(MaxMessageNumber + 1, false));
                     (*it)[*n] = true;
                 });
    return taken;
}

qint32 MessageQueueFile::countMessages() const
{
    qint32 count = 0;
    forEachEntry(IniLines::read(m_path),
                 [&](QByteArrayView, qsizetype, QByteArrayView key, QByteArrayView value) {
                     count += isMessage(key, value) ? 1 : 0;
                 });
    return count;
}

QList<QByteArray> MessageQueueFile::sectionNames() const
{
    const IniLines file = IniLines::read(m_path);
    QList<QByteArray> names;
    QSet<QByteArray> seen;
    for (const QByteArrayView line : file.lines()) {
        const auto name = IniLines::headerName(line);
        if (!name)
            continue;
        const QByteArray folded = IniLines::folded(*name);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        names.append(name->toByteArray());
    }
    return names;
}

QueuedCompany MessageQueueFile::readCompany(const QByteArray& section) const
{
    QueuedCompany company;
    company.section = section.trimmed();
    forEachEntry(IniLines::read(m_path),
                 [&](QByteArrayView name, qsizetype, QByteArrayView key, QByteArrayView value) {
                     if (!IniLines::sameName(name, company.section))
                         return;
                     if (isMessage(key, value))
                         company.messages.append({key.toByteArray(), value.toByteArray()});
                     else if (!messageNumber(key.toByteArray()))
                         company.addSetting(key.toByteArray(), value.toByteArray());
                 });
    return company;
}

bool MessageQueueFile::removeMessage(const QByteArray& section,
                                     const QueuedCompany::Message& message)
{
    IniLines file = IniLines::read(m_path);
    const QByteArray wanted = section.trimmed();
    qsizetype at = -1;
    forEachEntry(
        file, [&](QByteArrayView name, qsizetype line, QByteArrayView key, QByteArrayView value) {
            if (at < 0 && IniLines::sameName(name, wanted) &&
                IniLines::sameName(key, message.key.trimmed()) && value == message.value)
                at = line;
        });
    if (at < 0)
        return false;
    file.remove(at);
    writeLines(file, m_path);
    return true;
}

bool MessageQueueFile::removeSectionIfEmpty(const QByteArray& section)
{
    IniLines file = IniLines::read(m_path);
    const QByteArray wanted = section.trimmed();
    // Each section of the name: its header line and the line after its last.
    QList<std::pair<qsizetype, qsizetype>> ranges;
    bool inSection = false;
    for (qsizetype i = 0; i < file.lines().size(); ++i) {
        const QByteArrayView line = file.lines()[i];
        if (const auto name = IniLines::headerName(line)) {
            if (inSection)
                ranges.last().second = i;
            inSection = IniLines::sameName(*name, wanted);
            if (inSection)
                ranges.append({i, file.lines().size()});
            continue;
        }
        const auto key = IniLines::entryKey(line);
        if (inSection && key && isMessage(*key, IniLines::valueOf(line)))
            return false;
    }
    if (ranges.isEmpty())
        return false;
    for (qsizetype r = ranges.size() - 1; r >= 0; --r)
        file.remove(ranges[r].first, ranges[r].second - ranges[r].first);
    writeLines(file, m_path);
    return true;
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
