#include "queue/messagequeue.h"
#include "queue/queuesubmission.h"
#include "tests/pages/pagestorefixture.h"

#include <QTimeZone>

#include <random>

namespace {

using S = PageState;

TEST_F(PageStoreTest, ConfirmingLeavesAPageThatIsNoLongerAcceptingAsItIs)
{
    const NewPage written = newPage("5551000", "written before the stop");
    const NewPage unwritten = newPage("5551000", "never written");
    const NewPage fresh = newPage("5551000", "accepting still");
    const QList<qint64> ids = pages().accept({written, unwritten, fresh});
    // Another store on the file reconciles it with a queue that holds only the first page:
    // that one is queued, the second dropped, while this store still means to confirm them.
    const auto numbers =
        pageQueue().queue().add({{written.section, written.settings, written.entry}});
    ASSERT_TRUE(numbers);
    {
        PageStore other(dir.path(), [this] { return clock; });
        const ReconcileReport report = other.reconcile(queue());
        ASSERT_EQ(report.confirmed, 1);
        ASSERT_EQ(report.dropped, 2);
    }
    const auto before = pages().page(ids[0]);
    ASSERT_TRUE(before);
    ASSERT_EQ(before->state, S::Queued);
    // The reconciliation dropped the third as well: one accepted after it is still accepting.
    const qint64 third = pages().accept({fresh}).first();

    clock = clock.addSecs(5);
    pages().confirmQueued({ids[0], ids[1], third}, {written, unwritten, fresh}, {7, 8, 9});

    const auto after = pages().page(ids[0]);
    EXPECT_EQ(after->state, S::Queued);
    EXPECT_EQ(after->tie.key, before->tie.key) << "the key of a queued page was overwritten";
    EXPECT_EQ(after->updatedAt, before->updatedAt);
    ASSERT_EQ(after->history.size(), before->history.size()) << "a second confirmation line";
    EXPECT_FALSE(pages().page(ids[1])) << "a dropped page came back";
    EXPECT_EQ(
        countRows(QStringLiteral("SELECT COUNT(*) FROM history WHERE page_id = %1").arg(ids[1])),
        0);
    const auto confirmed = pages().page(third);
    EXPECT_EQ(confirmed->state, S::Queued);
    EXPECT_EQ(confirmed->tie.key, "MSG9");
    EXPECT_TRUE(confirmed->inQueue);
    EXPECT_EQ(confirmed->history.last().note, "queued as MSG9 of [5551000]");
}

TEST_F(PageStoreTest, AHeldPagesNoteNamesItsTimeAsStoredWhateverZoneItCameIn)
{
    NewPage page = newPage("5551000", "at six");
    // An hour ahead of UTC, with milliseconds: the store keeps the instant in milliseconds and
    // names it in UTC to the second.
    page.notBefore = QDateTime(clock.date(), QTime(19, 40, 0, 123), QTimeZone(3600));
    const qint64 id = take(page);
    const auto r = pages().page(id);
    EXPECT_EQ(r->state, S::Held);
    EXPECT_EQ(r->history.last().note, "held until 2026-12-07T18:40:00Z as MSG1 of [5551000]");
    // A time that has passed by the confirmation is queued at once.
    page.notBefore = clock.addMSecs(-1);
    EXPECT_EQ(stateOf(take(page)), S::Queued);
}

// Many pages with different fields through every step, the store reopened along the way: each
// record must hold exactly what its own page and steps gave it, never a value of another.
class StepsOfManyPages : public PageStoreTest
{
protected:
    struct Expected
    {
        NewPage page;
        PageState state = S::Queued;
        QByteArray reason;
        QList<QPair<PageState, QByteArray>> history;
        QDateTime updatedAt;
        std::optional<QDateTime> finishedAt;
        bool inQueue = true;
    };

    NewPage randomPage()
    {
        static const QByteArray Sections[] = {"5551000", " 1-800-555-0100 ", "5552000"};
        static const FrontEnd Fronts[] = {FrontEnd::Workstation, FrontEnd::Snpp, FrontEnd::Http,
                                          FrontEnd::Alertmanager};
        const QByteArray n = QByteArray::number(++m_made);
        NewPage page;
        page.section = Sections[pick(3)];
        page.pagerId = pick(2) ? "pager" + n : QByteArray();
        page.settings = {pick(2) ? "pw" + n : QByteArray(), 40 + pick(200), pick(3), pick(4),
                         pick(3)};
        page.entry = QueueEntry{"text " + n + QByteArray(pick(40), char('a' + pick(26))),
                                pick(2) ? "sig" + n : QByteArray(), "PIN" + n, "10.0.0." + n,
                                pick(2) ? "to " + n : QByteArray()};
        page.senderIdentity = pick(2) ? "id" + n : QByteArray();
        page.frontEnd = Fronts[pick(4)];
        if (const int when = pick(3); when > 0)
            page.notBefore = clock.addMSecs(when == 1 ? -pick(100000) : 60000 + pick(3600000));
        return page;
    }
    int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }

    QList<qint64> inState(std::initializer_list<PageState> states) const
    {
        QList<qint64> ids;
        for (auto it = m_expected.begin(); it != m_expected.end(); ++it) {
            if (std::find(states.begin(), states.end(), it->state) != states.end())
                ids.append(it.key());
        }
        return ids;
    }
    void moved(qint64 id, PageState to, const QByteArray& reason, const QByteArray& note)
    {
        Expected& e = m_expected[id];
        e.state = to;
        e.reason = reason;
        e.history.append({to, note});
        e.updatedAt = clock;
        if (PageStates::isFinal(to))
            e.finishedAt = clock;
    }

    void expectEveryRecord();

    std::mt19937 m_random{26};
    int m_made = 0;
    QMap<qint64, Expected> m_expected;
};

void StepsOfManyPages::expectEveryRecord()
{
    ASSERT_EQ(pages().recent(100000).size(), m_expected.size());
    for (auto it = m_expected.begin(); it != m_expected.end(); ++it) {
        const Expected& e = it.value();
        const auto r = pages().page(it.key());
        ASSERT_TRUE(r) << "page " << it.key();
        const auto at = [&](const char* what) {
            return "page " + QByteArray::number(r->id) + ' ' + what;
        };
        EXPECT_EQ(r->state, e.state) << at("state").constData();
        EXPECT_EQ(r->reason, e.reason) << at("reason").constData();
        EXPECT_EQ(r->pagerId, e.page.pagerId) << at("pager").constData();
        EXPECT_EQ(r->company, e.page.section) << at("company").constData();
        EXPECT_EQ(r->pin, e.page.entry.pin) << at("pin").constData();
        EXPECT_EQ(r->sender, e.page.entry.sender) << at("sender").constData();
        EXPECT_EQ(r->senderIdentity, e.page.senderIdentity) << at("identity").constData();
        EXPECT_EQ(r->frontEnd, e.page.frontEnd) << at("front end").constData();
        EXPECT_EQ(r->settings, e.page.settings) << at("settings").constData();
        EXPECT_EQ(r->text, e.page.entry.message) << at("text").constData();
        EXPECT_EQ(r->signature, e.page.entry.signature) << at("signature").constData();
        EXPECT_EQ(r->addressee, e.page.entry.addressee) << at("addressee").constData();
        EXPECT_EQ(r->notBefore, e.page.notBefore) << at("not before").constData();
        EXPECT_EQ(r->updatedAt, e.updatedAt) << at("updated").constData();
        EXPECT_EQ(r->finishedAt, e.finishedAt) << at("finished").constData();
        EXPECT_EQ(r->inQueue, e.inQueue) << at("in queue").constData();
        EXPECT_EQ(r->tie.section, e.page.section) << at("section").constData();
        EXPECT_EQ(r->tie.value, e.page.entry.format()) << at("queue line").constData();
        QList<QPair<PageState, QByteArray>> history;
        for (const PageHistoryEntry& h : r->history)
            history.append({h.state, h.note});
        EXPECT_EQ(history, e.history) << at("history").constData();
        const auto line = lineOf(r->id);
        EXPECT_EQ(line.has_value(), e.inQueue) << at("line").constData();
        if (line) {
            EXPECT_EQ(line->key, r->tie.key) << at("key").constData();
        }
    }
}

TEST_F(StepsOfManyPages, EveryRecordHoldsWhatItsOwnPageAndStepsGaveIt)
{
    for (int step = 0; step < 160; ++step) {
        const QList<qint64> waiting = inState({S::Queued, S::Held});
        const QList<qint64> sending = inState({S::Sending});
        const int what = pick(8);
        if (what <= 1 || waiting.isEmpty()) {
            QList<NewPage> batch;
            for (int n = 1 + pick(3); n > 0; --n)
                batch.append(randomPage());
            const QList<qint64> ids = pageQueue().take(batch).value();
            for (qsizetype i = 0; i < ids.size(); ++i) {
                const auto r = pages().page(ids[i]);
                ASSERT_TRUE(r);
                const NewPage& page = batch[i];
                const bool held = page.notBefore && *page.notBefore > clock;
                const QByteArray where = r->tie.key + " of [" + page.section + ']';
                Expected e{page, S::Accepting, {}, {}, clock, std::nullopt, true};
                e.history.append(
                    {S::Accepting,
                     "accepted over " + PageStates::frontEndName(page.frontEnd) + " from " +
                         page.entry.sender +
                         (page.senderIdentity.isEmpty() ? QByteArray()
                                                        : " (" + page.senderIdentity + ')')});
                m_expected.insert(ids[i], e);
                moved(ids[i], held ? S::Held : S::Queued, {},
                      held ? "held until " +
                                 page.notBefore->toUTC().toString(Qt::ISODate).toLatin1() + " as " +
                                 where
                           : "queued as " + where);
                ASSERT_EQ(lineOf(ids[i]).value_or(QueuedCompany::Message{}).key, r->tie.key);
            }
        } else if (what == 2) {
            const qint64 id = waiting[pick(int(waiting.size()))];
            if (m_expected[id].state == S::Queued) {
                ASSERT_TRUE(pages().markSending(id));
                moved(id, S::Sending, {}, "handed to the paging terminal");
            }
        } else if (what == 3 && !sending.isEmpty()) {
            const qint64 id = sending[pick(int(sending.size()))];
            const bool ok = pick(2);
            const auto line = lineOf(id);
            ASSERT_TRUE(line);
            const QByteArray reason = "Refused " + QByteArray::number(step);
            if (ok)
                pageQueue().delivered(id, m_expected[id].page.section, *line);
            else
                pageQueue().failed(id, reason, m_expected[id].page.section, *line);
            moved(id, ok ? S::Delivered : S::Failed, ok ? QByteArray() : reason,
                  ok ? "acknowledged by the paging terminal" : reason);
            m_expected[id].inQueue = false;
        } else if (what == 4 && !sending.isEmpty()) {
            const qint64 id = sending[pick(int(sending.size()))];
            const QByteArray note = "call ended " + QByteArray::number(step);
            ASSERT_TRUE(pages().requeue(id, note));
            moved(id, S::Queued, {}, note);
        } else if (what == 5) {
            const qint64 id = m_expected.firstKey() + pick(int(m_expected.size()));
            const QByteArray note = "note " + QByteArray::number(step);
            pages().addNote(id, note);
            m_expected[id].history.append({m_expected[id].state, note});
        } else if (what == 6) {
            clock = clock.addSecs(600);
            for (const qint64 id : pages().releaseDue()) {
                ASSERT_EQ(m_expected[id].state, S::Held) << "page " << id;
                moved(id, S::Queued, {}, "its time has come");
            }
            for (const qint64 id : inState({S::Held}))
                EXPECT_GT(*m_expected[id].page.notBefore, clock) << "page " << id << " kept";
        } else {
            clock = clock.addMSecs(1 + pick(5000));
        }
        if (step % 40 == 39) {
            expectEveryRecord();
            reopen();
        }
    }
    expectEveryRecord();
}

} // namespace
