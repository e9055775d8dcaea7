#include "pages/pagedatabase.h"

#include "foundation/widgettext.h"
#include "pages/pagestoreerror.h"
#include "pages/statementcache.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

const QString Driver = QStringLiteral("QSQLITE");

// Bumped whenever the tables change; a file of a newer layout is not opened.
constexpr int SchemaVersion = 1;

const char* const Schema[] = {
    "CREATE TABLE IF NOT EXISTS pages ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " state TEXT NOT NULL,"
    " reason BLOB NOT NULL,"
    " pager_id BLOB NOT NULL,"
    " pin BLOB NOT NULL,"
    " company BLOB NOT NULL,"
    " sender BLOB NOT NULL,"
    " sender_identity BLOB NOT NULL,"
    " front_end TEXT NOT NULL,"
    " password BLOB NOT NULL,"
    " length BLOB NOT NULL,"
    " parity INTEGER NOT NULL,"
    " data_bits INTEGER NOT NULL,"
    " stop_bits INTEGER NOT NULL,"
    " text BLOB NOT NULL,"
    " signature BLOB NOT NULL,"
    " addressee BLOB NOT NULL,"
    " not_before INTEGER,"
    " accepted_at INTEGER NOT NULL,"
    " updated_at INTEGER NOT NULL,"
    " finished_at INTEGER,"
    " queue_section BLOB NOT NULL,"
    " queue_key BLOB,"
    " queue_value BLOB NOT NULL,"
    " in_queue INTEGER NOT NULL,"
    " notify INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS history ("
    " page_id INTEGER NOT NULL REFERENCES pages(id) ON DELETE CASCADE,"
    " at INTEGER NOT NULL,"
    " state TEXT NOT NULL,"
    " note BLOB NOT NULL)",
    "CREATE INDEX IF NOT EXISTS history_page ON history(page_id)",
    "CREATE INDEX IF NOT EXISTS pages_state ON pages(state)",
    "CREATE INDEX IF NOT EXISTS pages_notify ON pages(notify) WHERE notify = 1",
};

const QString Columns = QStringLiteral(
    "id, state, reason, pager_id, pin, company, sender, sender_identity, front_end, password, "
    "length, parity, data_bits, stop_bits, text, signature, addressee, not_before, accepted_at, "
    "updated_at, finished_at, queue_section, queue_key, queue_value, in_queue");

QString uniqueConnectionName()
{
    static std::atomic<quint64> next{0};
    return QStringLiteral("zelkor-pages-%1").arg(next.fetch_add(1));
}

} // namespace

PageDatabase::PageDatabase(const QString& path) : m_path(path), m_connection(uniqueConnectionName())
{
    if (!QSqlDatabase::isDriverAvailable(Driver))
        fail(QStringLiteral("cannot be opened"),
             QStringLiteral("Qt's SQLite driver is not installed (libqt6sql6-sqlite)"));
    m_db = QSqlDatabase::addDatabase(Driver, m_connection);
    m_db.setDatabaseName(path);
    // A second store on the file waits for the other's transaction instead of failing.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!m_db.open()) {
        const QString detail = m_db.lastError().text();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        fail(QStringLiteral("cannot be opened"), detail);
    }
    m_statements = std::make_unique<StatementCache>(m_db, [this](const QString& detail) {
        fail(QStringLiteral("cannot be read or written"), detail);
    });
    try {
        bool wal = false;
        run(QStringLiteral("PRAGMA journal_mode=WAL"), {}, [&](const QSqlQuery& row) {
            wal = row.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0;
        });
        if (!wal)
            fail(QStringLiteral("cannot be opened"),
                 QStringLiteral("its journal cannot be switched to write-ahead logging"));
        run(QStringLiteral("PRAGMA synchronous=FULL"));
        // 2 is FULL: a commit is on the disk when it returns. Checked, since SQLite ignores a
        // setting it cannot apply without a word.
        bool full = false;
        run(QStringLiteral("PRAGMA synchronous"), {},
            [&](const QSqlQuery& row) { full = row.value(0).toInt() == 2; });
        if (!full)
            fail(QStringLiteral("cannot be opened"),
                 QStringLiteral("its writes cannot be made synchronous"));
        run(QStringLiteral("PRAGMA foreign_keys=ON"));
        createSchema();
    } catch (...) {
        close();
        throw;
    }
}

PageDatabase::~PageDatabase()
{
    close();
}

void PageDatabase::close()
{
    // The statements go first: a connection is only closed and removed once no query of it is
    // left.
    m_statements.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

void PageDatabase::createSchema()
{
    int found = 0;
    run(QStringLiteral("PRAGMA user_version"), {},
        [&](const QSqlQuery& row) { found = row.value(0).toInt(); });
    if (found > SchemaVersion)
        fail(QStringLiteral("cannot be used"),
             QStringLiteral("it was written by a newer server (layout %1)").arg(found));
    Transaction transaction(*this);
    for (const char* statement : Schema)
        run(QString::fromLatin1(statement));
    run(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
    transaction.commit();
}

void PageDatabase::fail(const QString& what, const QString& detail) const
{
    throw EPageStoreError(
        WidgetText::toBytes(QStringLiteral("Page store %1 %2: %3").arg(m_path, what, detail)));
}

PageDatabase::Transaction::Transaction(PageDatabase& db) : m_db(db)
{
    m_db.run(QStringLiteral("BEGIN IMMEDIATE"));
}

PageDatabase::Transaction::~Transaction()
{
    if (m_done)
        return;
    QSqlQuery rollback(m_db.m_db);
    rollback.exec(QStringLiteral("ROLLBACK"));
}

void PageDatabase::Transaction::commit()
{
    m_db.run(QStringLiteral("COMMIT"));
    m_done = true;
}

qint64 PageDatabase::run(const QString& sql, const QVariantList& values, const RowReader& row)
{
    StatementCache::Use use(*m_statements, sql, values);
    QSqlQuery& query = use.query();
    if (row) {
        while (query.next())
            row(query);
        if (query.lastError().isValid())
            fail(QStringLiteral("cannot be read or written"), query.lastError().text());
    }
    return query.numRowsAffected();
}

QVariant PageDatabase::blob(const QByteArray& bytes)
{
    // A null QByteArray would be bound as NULL.
    return bytes.isNull() ? QVariant(QByteArray("")) : QVariant(bytes);
}

QVariant PageDatabase::time(const std::optional<QDateTime>& at)
{
    if (!at || !at->isValid())
        return QVariant(QMetaType::fromType<qint64>());
    return QVariant(at->toMSecsSinceEpoch());
}

QDateTime PageDatabase::timeFrom(const QVariant& value)
{
    if (value.isNull())
        return {};
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

QList<PageRecord> PageDatabase::records(const QString& condition, const QVariantList& values)
{
    QList<PageRecord> records;
    run(QStringLiteral("SELECT %1 FROM pages %2").arg(Columns, condition), values,
        [&](const QSqlQuery& query) {
            PageRecord r;
            int c = 0;
            r.id = query.value(c++).toLongLong();
            r.state =
                PageStates::fromName(query.value(c++).toByteArray()).value_or(PageState::Failed);
            r.reason = query.value(c++).toByteArray();
            r.pagerId = query.value(c++).toByteArray();
            r.pin = query.value(c++).toByteArray();
            r.company = query.value(c++).toByteArray();
            r.sender = query.value(c++).toByteArray();
            r.senderIdentity = query.value(c++).toByteArray();
            r.frontEnd = PageStates::frontEndFromName(query.value(c++).toByteArray())
                             .value_or(FrontEnd::Unknown);
            r.settings.password = query.value(c++).toByteArray();
            r.settings.length = query.value(c++).toInt();
            r.settings.parity = query.value(c++).toInt();
            r.settings.dataBits = query.value(c++).toInt();
            r.settings.stopBits = query.value(c++).toInt();
            r.text = query.value(c++).toByteArray();
            r.signature = query.value(c++).toByteArray();
            r.addressee = query.value(c++).toByteArray();
            if (const QDateTime at = timeFrom(query.value(c++)); at.isValid())
                r.notBefore = at;
            r.acceptedAt = timeFrom(query.value(c++));
            r.updatedAt = timeFrom(query.value(c++));
            if (const QDateTime at = timeFrom(query.value(c++)); at.isValid())
                r.finishedAt = at;
            r.tie.section = query.value(c++).toByteArray();
            r.tie.key = query.value(c++).toByteArray();
            r.tie.value = query.value(c++).toByteArray();
            r.inQueue = query.value(c++).toBool();
            records.append(std::move(r));
        });
    return records;
}

QList<PageHistoryEntry> PageDatabase::history(qint64 id)
{
    QList<PageHistoryEntry> entries;
    run(QStringLiteral("SELECT at, state, note FROM history WHERE page_id = ? ORDER BY rowid"),
        {id}, [&](const QSqlQuery& query) {
            entries.append(
                {timeFrom(query.value(0)),
                 PageStates::fromName(query.value(1).toByteArray()).value_or(PageState::Failed),
                 query.value(2).toByteArray()});
        });
    return entries;
}

qint64 PageDatabase::insert(const NewPage& page, PageState state, const QueueTie& tie, bool inQueue,
                            const QByteArray& note, qint64 now)
{
    qint64 id = 0;
    {
        StatementCache::Use use(
            *m_statements,
            QStringLiteral(
                "INSERT INTO pages (state, reason, pager_id, pin, company, sender, "
                "sender_identity, "
                "front_end, password, length, parity, data_bits, stop_bits, text, signature, "
                "addressee, not_before, accepted_at, updated_at, queue_section, queue_key, "
                "queue_value, in_queue) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?, ?, ?, ?, ?, ?)"),
            {QString::fromLatin1(PageStates::name(state)),
             blob({}),
             blob(page.pagerId),
             blob(page.entry.pin),
             blob(page.section),
             blob(page.entry.sender),
             blob(page.senderIdentity),
             QString::fromLatin1(PageStates::frontEndName(page.frontEnd)),
             blob(page.settings.password),
             page.settings.length,
             page.settings.parity,
             page.settings.dataBits,
             page.settings.stopBits,
             blob(page.entry.message),
             blob(page.entry.signature),
             blob(page.entry.addressee),
             time(page.notBefore),
             now,
             now,
             blob(tie.section),
             tie.key.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>()) : blob(tie.key),
             blob(tie.value),
             inQueue ? 1 : 0});
        id = use.query().lastInsertId().toLongLong();
    }
    addHistory(id, state, note, now);
    return id;
}

bool PageDatabase::move(qint64 id, PageState to, const QByteArray& reason, const QByteArray& note,
                        qint64 now, std::optional<PageState> from)
{
    std::optional<PageState> state;
    bool found = false;
    run(QStringLiteral("SELECT state FROM pages WHERE id = ?"), {id}, [&](const QSqlQuery& row) {
        found = true;
        state = PageStates::fromName(row.value(0).toByteArray());
    });
    if (!found || !state || !PageStates::canMove(*state, to) || (from && *state != *from))
        return false;
    const bool final = PageStates::isFinal(to);
    run(QStringLiteral("UPDATE pages SET state = ?, reason = ?, updated_at = ?, "
                       "finished_at = ?, notify = ? WHERE id = ?"),
        {QString::fromLatin1(PageStates::name(to)), blob(reason), now,
         final ? QVariant(now) : QVariant(QMetaType::fromType<qint64>()), final ? Due : NotDue,
         id});
    addHistory(id, to, note.isEmpty() ? reason : note, now);
    return true;
}

void PageDatabase::addHistory(qint64 id, PageState state, const QByteArray& note, qint64 now)
{
    run(QStringLiteral("INSERT INTO history (page_id, at, state, note) VALUES (?, ?, ?, ?)"),
        {id, now, QString::fromLatin1(PageStates::name(state)), blob(note)});
}

bool PageDatabase::confirm(qint64 id, PageState to, const QByteArray& key, const QByteArray& note,
                           qint64 now)
{
    // As move() from 'accepting' would write it, with the key, in one statement that leaves a
    // page alone once it is in any other state.
    const qint64 changed =
        run(QStringLiteral("UPDATE pages SET state = ?, reason = ?, updated_at = ?, "
                           "finished_at = NULL, notify = ?, queue_key = ?, in_queue = 1 "
                           "WHERE id = ? AND state = 'accepting'"),
            {QString::fromLatin1(PageStates::name(to)), blob({}), now, int(NotDue), blob(key), id});
    if (changed != 1)
        return false;
    addHistory(id, to, note, now);
    return true;
}
