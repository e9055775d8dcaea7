#include "tests/app/queuestoresnapshot.h"

#include "pages/pagerecord.h"
#include "queue/messagequeuefile.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

QByteArray messageOf(const QByteArray& value)
{
    const qsizetype from = value.indexOf("*MSG*");
    const qsizetype to = value.indexOf("*PIN*");
    return from >= 0 && to > from ? value.mid(from + 5, to - from - 5) : QByteArray();
}

void readStore(const QString& dataDir, QList<QueueStoreSnapshot::Record>& records, QString& error)
{
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("queuestoresnapshot-%1").arg(++serial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dataDir + QStringLiteral("/Pages.db"));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("SELECT id, state, text, queue_section, "
                                           "COALESCE(queue_key, ''), queue_value, in_queue "
                                           "FROM pages ORDER BY id"))) {
                error = query.lastError().text();
            }
            while (query.next()) {
                QueueStoreSnapshot::Record record;
                record.id = query.value(0).toLongLong();
                record.state = query.value(1).toByteArray();
                record.text = query.value(2).toByteArray();
                record.section = query.value(3).toByteArray();
                record.key = query.value(4).toByteArray();
                record.value = query.value(5).toByteArray();
                record.inQueue = query.value(6).toInt() != 0;
                records.append(record);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

bool live(const QByteArray& state)
{
    return state == "queued" || state == "held";
}

} // namespace

QueueStoreSnapshot QueueStoreSnapshot::read(const QString& dataDir)
{
    QueueStoreSnapshot snapshot;
    readStore(dataDir, snapshot.m_records, snapshot.m_error);
    const MessageQueueFile queue(MessageQueueFile::pathIn(dataDir));
    for (const QByteArray& section : queue.sectionNames()) {
        const QueuedCompany company = queue.readCompany(section);
        for (const QueuedCompany::Message& message : company.messages)
            snapshot.m_entries.append(
                {company.section, message.key, message.value, messageOf(message.value)});
    }
    return snapshot;
}

QStringList QueueStoreSnapshot::disagreements() const
{
    QStringList found;
    if (!m_error.isEmpty())
        return {QStringLiteral("store not readable: ") + m_error};
    QHash<QByteArray, int> entries;
    for (const Entry& entry : m_entries)
        ++entries[QueueTie::identity(entry.section, entry.key, entry.value)];
    QHash<QByteArray, QList<qint64>> claimed;
    for (const Record& record : m_records) {
        const QString page =
            QStringLiteral("page %1 (%2, \"%3\")")
                .arg(record.id)
                .arg(QString::fromLatin1(record.state), QString::fromLatin1(record.text));
        const QByteArray identity = QueueTie::identity(record.section, record.key, record.value);
        if (record.state == "accepting" || record.state == "sending")
            found << page + QStringLiteral(" left in a passing state");
        else if (live(record.state) && !(record.inQueue && entries.contains(identity)))
            found << page + QStringLiteral(" has no entry in Message.Dat");
        else if (!live(record.state) && record.inQueue)
            found << page + QStringLiteral(" is final but still marked as queued");
        if (record.inQueue && live(record.state))
            claimed[identity].append(record.id);
    }
    for (const Entry& entry : m_entries) {
        const QByteArray identity = QueueTie::identity(entry.section, entry.key, entry.value);
        const qsizetype owners = claimed.value(identity).size();
        // Two identical lines are two entries: each needs a record of its own.
        if (owners != entries.value(identity))
            found << QStringLiteral("entry [%1] %2 (\"%3\") has %4 live record(s)")
                         .arg(QString::fromLatin1(entry.section), QString::fromLatin1(entry.key),
                              QString::fromLatin1(entry.text))
                         .arg(owners);
    }
    return found;
}
