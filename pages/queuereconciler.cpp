#include "pages/queuereconciler.h"

#include "foundation/filestore.h"
#include "foundation/widgettext.h"
#include "pages/pagedatabase.h"
#include "pages/pagestoreerror.h"
#include "queue/messagequeuefile.h"

#include <QHash>
#include <QSqlQuery>

namespace {

// One "MSG" line of the file, with the company it belongs to.
struct Line
{
    qsizetype company = 0;
    QueuedCompany::Message message;
    bool claimed = false;
};

// The lines of the file, findable by their full tie and by section and value alone.
class Lines final
{
public:
    explicit Lines(const MessageQueueFile& queue)
    {
        for (const QByteArray& name : queue.sectionNames()) {
            companies.append(queue.readCompany(name));
            const QueuedCompany& company = companies.last();
            for (const QueuedCompany::Message& message : company.messages) {
                m_byTie[QueueTie::identity(company.section, message.key, message.value)].append(
                    lines.size());
                m_byContent[QueueTie::identity(company.section, {}, message.value)].append(
                    lines.size());
                lines.append({companies.size() - 1, message, false});
            }
        }
    }

    // The first unclaimed line with this tie, claimed now; or -1.
    qsizetype claim(const QueueTie& tie) { return claimFrom(m_byTie.value(tie.identity())); }
    // The same by section and value, for records that do not know their key.
    qsizetype claimByContent(const QueueTie& tie)
    {
        return claimFrom(m_byContent.value(QueueTie::identity(tie.section, {}, tie.value)));
    }

    QList<QueuedCompany> companies;
    QList<Line> lines;

private:
    qsizetype claimFrom(const QList<qsizetype>& candidates)
    {
        for (const qsizetype at : candidates) {
            if (!lines[at].claimed) {
                lines[at].claimed = true;
                return at;
            }
        }
        return -1;
    }

    QHash<QByteArray, QList<qsizetype>> m_byTie;
    QHash<QByteArray, QList<qsizetype>> m_byContent;
};

// A record for a line nobody had: what the line and its section say.
NewPage pageOf(const QueuedCompany& company, const QueuedCompany::Message& message)
{
    NewPage page;
    page.entry = QueueEntry::parse(message.value);
    page.pagerId = page.entry.pin;
    page.section = company.section;
    // The settings a run reads from the section (its defaults for missing keys); a section
    // whose settings no run could use keeps the defaults, and its page fails as the run's would.
    page.settings = company.lineSettings().value_or(CompanyLineSettings{});
    page.frontEnd = page.entry == MessageQueueFile::testEntry(page.entry.pin) ? FrontEnd::Test
                                                                              : FrontEnd::Unknown;
    return page;
}

const QByteArray LostReason = "Removed from Message.Dat outside the server";

} // namespace

QueueReconciler::QueueReconciler(PageDatabase& db, qint64 now) : m_db(db), m_now(now) {}

ReconcileReport QueueReconciler::run(const MessageQueueFile& queue)
{
    const FileStore::FileBytes file = FileStore::readFile(queue.path());
    if (file.status == FileStore::FileBytes::Status::Unreadable)
        throw EPageStoreError("Page store: " + WidgetText::toFileName(queue.path()) +
                              " cannot be read (" + WidgetText::toBytes(file.error) +
                              "); the pages' states were left as they were");
    Lines lines(queue);
    ReconcileReport report;

    PageDatabase::Transaction transaction(m_db);
    const QList<PageRecord> live =
        m_db.records(QStringLiteral("WHERE state IN ('queued', 'held', 'sending') ORDER BY id"));
    const QList<PageRecord> accepting =
        m_db.records(QStringLiteral("WHERE state = 'accepting' ORDER BY id"));
    const QList<PageRecord> finished = m_db.records(QStringLiteral(
        "WHERE in_queue = 1 AND state IN ('delivered', 'failed', 'expired', 'cancelled') "
        "ORDER BY id"));

    for (const PageRecord& page : live) {
        const bool found = lines.claim(page.tie) >= 0;
        if (!found) {
            m_db.move(page.id, PageState::Failed, LostReason, {}, m_now);
            m_db.run(QStringLiteral("UPDATE pages SET in_queue = 0 WHERE id = ?"), {page.id});
            report.lost.append(page.id);
        } else if (page.state == PageState::Sending) {
            m_db.move(page.id, PageState::Queued, {},
                      "queued again: the server stopped during its call, so the terminal may "
                      "have had it",
                      m_now);
            report.requeued.append(page.id);
        }
    }

    for (const PageRecord& page : accepting) {
        const qsizetype at = lines.claimByContent(page.tie);
        if (at < 0) {
            m_db.run(QStringLiteral("DELETE FROM pages WHERE id = ?"), {page.id});
            ++report.dropped;
            continue;
        }
        const QByteArray key = lines.lines[at].message.key;
        const bool held = page.notBefore && page.notBefore->toMSecsSinceEpoch() > m_now;
        m_db.move(page.id, held ? PageState::Held : PageState::Queued, {},
                  (held ? "held as " : "queued as ") + key + " of [" + page.tie.section +
                      "] (its queue write was done when the server stopped)",
                  m_now);
        m_db.run(QStringLiteral("UPDATE pages SET queue_key = ?, in_queue = 1 WHERE id = ?"),
                 {PageDatabase::blob(key), page.id});
        ++report.confirmed;
    }

    for (const PageRecord& page : finished) {
        const qsizetype at = lines.claim(page.tie);
        if (at < 0) {
            m_db.run(QStringLiteral("UPDATE pages SET in_queue = 0 WHERE id = ?"), {page.id});
            continue;
        }
        const Line& line = lines.lines[at];
        report.toRemove.append({page.id, lines.companies[line.company].section, line.message});
    }

    for (const Line& line : lines.lines) {
        if (line.claimed)
            continue;
        const QueuedCompany& company = lines.companies[line.company];
        const QueueTie tie{company.section, line.message.key, line.message.value};
        report.adopted.append(m_db.insert(pageOf(company, line.message), PageState::Queued, tie,
                                          true, "found in Message.Dat without a record", m_now));
    }
    transaction.commit();
    return report;
}
