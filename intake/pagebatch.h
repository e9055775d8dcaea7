#pragma once

#include "intake/pagequeuer.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

// The transactions that clients hand in during one pass of the event loop, taken together in
// the next: each is checked alone, and those that pass share one durable write (one page-store
// commit, one queue write), so a burst from many clients costs one disk sync per pass rather
// than one per page. Each client is answered after that write, with what queuing its
// transaction alone would have given it.
class PageBatch final : public QObject
{
    Q_OBJECT

public:
    // What became of one transaction. `failed`: the write, or the showing of its pages, was cut
    // short by a failure that the guard dealt with; whether its pages were queued is not known.
    struct Outcome
    {
        bool failed = false;
        std::optional<PageRefusal> refusal;
        QList<qint64> ids;
    };
    using Answer = std::function<void(const Outcome&)>;
    // Runs the shared write; false when it raised (the guard has told the operator).
    using Guard = std::function<bool(const std::function<void()>& work)>;

    explicit PageBatch(PageQueuer& queuer, QObject* parent = nullptr);

    void setGuard(Guard guard) { m_guard = std::move(guard); }

    // Takes the transaction into the next shared write. `answer` is called once, in a later pass
    // of the event loop and never from within add(), unless withdraw() comes first. A
    // transaction given with a refusal is not written and gets that refusal in the same pass
    // as the others. Gives the ticket withdraw() takes.
    quint64 add(PageQueuer::Transaction transaction, Answer answer);
    // The client has gone before the write: its transaction is not written and its answer does
    // not come. Nothing happens for a ticket whose write has begun or that was answered.
    void withdraw(quint64 ticket);
    // Transactions waiting for the next write.
    qsizetype waiting() const { return m_waiting.size(); }

private:
    struct Waiting
    {
        quint64 ticket;
        PageQueuer::Transaction transaction;
        Answer answer;
    };

    void write();
    bool guarded(const std::function<void()>& work) const;

    PageQueuer& m_queuer;
    Guard m_guard;
    QList<Waiting> m_waiting;
    quint64 m_lastTicket = 0;
    QTimer m_next;
};
