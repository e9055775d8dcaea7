#include "pages/pagessettings.h"
#include "tests/pages/pagestorefixture.h"

#include <QHash>
#include <QRandomGenerator>

namespace {

using S = PageState;

// Random submissions, calls, clearings and expiries against a simulated paging terminal, with
// a kill at a random step (of the store, of the queue file or of the call between them) now
// and then; after each kill a restart reconciles. Store and queue must agree after every
// restart, no page that was answered "250" may be lost, and a page may reach the terminal twice
// only when the kill fell between the terminal's acknowledgement and the record of it; each of
// those must have been reported as queued again.
class ReconcileProperty : public PageStoreTest
{
protected:
    void runSeed(quint32 seed);

private:
    // A step, of the page queue or of the test's own call, where a kill may fall.
    void point(const char* where)
    {
        if (++m_steps != m_killAt)
            return;
        killedAt.insert(QByteArray(where));
        throw Killed{};
    }
    void observeSteps()
    {
        pageQueue().setStepObserver([this](PageQueue::Step step) { point(stepName(step)); });
    }
    static const char* stepName(PageQueue::Step step);

public:
    QSet<QByteArray> killedAt; // every kind of step a kill fell on, over all seeds

private:
    void scheduleKill() { m_killAt = m_steps + 1 + m_random.bounded(25); }

    void submit();
    void call();
    void expire();
    void restartAfterKill();

    void reset();

    QRandomGenerator m_random;
    qint64 m_steps = 0;
    qint64 m_killAt = 0;
    QSet<qint64> m_answered;              // pages that got their "250"
    QHash<qint64, int> m_deliveries;      // acknowledgements by the terminal
    QHash<qint64, int> m_mayRepeat;       // kills between an acknowledgement and its record
    std::optional<qint64> m_acknowledged; // acknowledged, its fate not yet recorded
    QSet<qint64> m_reportedAgain;         // reported as queued again by a restart
    int m_kills = 0;

protected:
    int m_totalKills = 0;
    int m_totalRepeated = 0;
};

const QByteArray Sections[] = {"5551000", " 5552000", "5553000"};
const QByteArray Texts[] = {"disk full", "disk full", "a = b [c] ", "load high"};
// The terminal accepts PIN 1 and refuses PIN 2, so each page's fate can be checked.
const QByteArray Pins[] = {"1", "2"};

void ReconcileProperty::submit()
{
    QList<NewPage> batch;
    const int count = 1 + m_random.bounded(3);
    for (int i = 0; i < count; ++i) {
        NewPage page = newPage(Sections[m_random.bounded(3)], Texts[m_random.bounded(4)],
                               Pins[m_random.bounded(2)]);
        if (m_random.bounded(5) == 0)
            page.notBefore = clock.addSecs(60 * m_random.bounded(120));
        batch.append(page);
    }
    const auto ids = pageQueue().take(batch);
    ASSERT_TRUE(ids);
    for (const qint64 id : *ids)
        m_answered.insert(id);
}

void ReconcileProperty::call()
{
    pages().releaseDue();
    for (const QByteArray& section : queue().sectionNames()) {
        const QueuedCompany company = queue().readCompany(section);
        const QList<std::optional<qint64>> ids = pages().idsOf(company);
        for (qsizetype i = 0; i < ids.size(); ++i) {
            ASSERT_TRUE(ids[i]) << "a line of the queue has no page";
            const qint64 id = *ids[i];
            if (stateOf(id) != S::Queued)
                continue;
            point("before sending");
            ASSERT_TRUE(pages().markSending(id));
            point("before the terminal's answer");
            if (m_random.bounded(8) == 0) {
                // The line dropped before the terminal answered.
                ASSERT_TRUE(pages().requeue(id, "call ended"));
                continue;
            }
            const bool accepted = pages().page(id)->pin == "1";
            if (accepted) {
                ++m_deliveries[id];
                m_acknowledged = id;
                pageQueue().delivered(id, company.section, company.messages[i]);
            } else {
                pageQueue().failed(id, "Invalid ID Or Bad Link!", company.section,
                                   company.messages[i]);
            }
            m_acknowledged.reset();
        }
        point("before the section's removal");
        queue().removeSectionIfEmpty(section);
    }
}

void ReconcileProperty::expire()
{
    PagesSettings settings;
    settings.maxAgeHours = 2;
    pageQueue().remove(pages().prune(settings).expired);
}

void ReconcileProperty::restartAfterKill()
{
    // Killed after the terminal acknowledged a page and before that was recorded: the page
    // is still "sending", and goes out again.
    if (m_acknowledged && stateOf(*m_acknowledged) == S::Sending)
        ++m_mayRepeat[*m_acknowledged];
    m_acknowledged.reset();
    pageQueue().setStepObserver({});
    const ReconcileReport report = restart();
    for (const qint64 id : report.requeued)
        m_reportedAgain.insert(id);
    expectAgreement();
    for (const qint64 id : m_answered) {
        const auto page = pages().page(id);
        ASSERT_TRUE(page) << "page " << id << " was answered \"250\" and is gone";
        EXPECT_NE(page->state, S::Accepting);
    }
    observeSteps();
    scheduleKill();
}

void ReconcileProperty::runSeed(quint32 seed)
{
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    startOver();
    reset();
    m_random.seed(seed);
    observeSteps();
    scheduleKill();
    for (int op = 0; op < 40 && !HasFatalFailure(); ++op) {
        try {
            const int what = m_random.bounded(20);
            if (what < 9)
                submit();
            else if (what < 16)
                call();
            else if (what < 17)
                pageQueue().clear("Message Queue Cleared!");
            else if (what < 19)
                clock = clock.addSecs(60 * m_random.bounded(90));
            else
                expire();
        } catch (const Killed&) {
            ++m_kills;
            restartAfterKill();
        }
    }
    // No more kills: everything waiting goes out.
    m_killAt = -1;
    pageQueue().setStepObserver({});
    restartAfterKill();
    m_killAt = -1;
    clock = clock.addDays(1);
    // A dropped line leaves its page for the next call.
    for (int pass = 0; pass < 20 && queue().countMessages() > 0 && !HasFatalFailure(); ++pass)
        call();
    ASSERT_EQ(queue().countMessages(), 0);

    int repeated = 0;
    for (const PageRecord& page : pages().recent(100000)) {
        const int times = m_deliveries.value(page.id);
        EXPECT_TRUE(PageStates::isFinal(page.state)) << "page " << page.id;
        // A page acknowledged in the window is queued again, so its record may end otherwise
        // (cleared, expired) although the terminal had it; any other page's record is true.
        if (page.state == S::Delivered || m_mayRepeat.value(page.id) == 0) {
            EXPECT_EQ(page.state == S::Delivered, times > 0)
                << "page " << page.id << " is " << PageStates::name(page.state).constData()
                << " and reached the terminal " << times << " times";
        }
        EXPECT_LE(times, 1 + m_mayRepeat.value(page.id))
            << "page " << page.id << " reached the terminal again without a kill in its window";
        if (times > 1) {
            ++repeated;
            EXPECT_TRUE(m_reportedAgain.contains(page.id))
                << "page " << page.id << " went out twice and no restart said so";
        }
        if (page.state == S::Failed) {
            EXPECT_EQ(page.pin, "2")
                << "page " << page.id << " failed: " << page.reason.constData();
        }
    }
    m_totalKills += m_kills;
    m_totalRepeated += repeated;
}

void ReconcileProperty::reset()
{
    m_steps = 0;
    m_answered.clear();
    m_deliveries.clear();
    m_mayRepeat.clear();
    m_acknowledged.reset();
    m_reportedAgain.clear();
    m_kills = 0;
}

const char* ReconcileProperty::stepName(PageQueue::Step step)
{
    switch (step) {
    case PageQueue::Step::Accept:
        return "before the record";
    case PageQueue::Step::QueueWrite:
        return "before the queue write";
    case PageQueue::Step::Confirm:
        return "before the confirmation";
    case PageQueue::Step::RecordFate:
        return "before the fate's record";
    case PageQueue::Step::RemoveEntry:
        return "before the entry's removal";
    case PageQueue::Step::RecordRemoval:
        return "before the removal's record";
    case PageQueue::Step::RecordCancel:
        return "before the cancellation's record";
    case PageQueue::Step::DeleteQueue:
        return "before the queue's deletion";
    }
    return "?";
}

TEST_F(ReconcileProperty, StoreAndQueueAgreeAfterKillsAtRandomSteps)
{
    for (quint32 seed = 1; seed <= 6 && !HasFatalFailure(); ++seed)
        runSeed(seed);
    // Each kind of step took a kill somewhere, and the window of a second page was met.
    const QSet<QByteArray> every = {"before the record",
                                    "before the queue write",
                                    "before the confirmation",
                                    "before sending",
                                    "before the terminal's answer",
                                    "before the fate's record",
                                    "before the entry's removal",
                                    "before the removal's record",
                                    "before the section's removal"};
    for (const QByteArray& where : every)
        EXPECT_TRUE(killedAt.contains(where)) << "no kill fell " << where.constData();
    EXPECT_GT(m_totalRepeated, 0) << "no kill fell in the window of a second page";
    std::printf("%d kills, %d pages paged twice in the window\n", m_totalKills, m_totalRepeated);
}

} // namespace
