#include "intake/pagebatch.h"

#include <utility>

PageBatch::PageBatch(PageQueuer& queuer, QObject* parent) : QObject(parent), m_queuer(queuer)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &PageBatch::write);
}

quint64 PageBatch::add(PageQueuer::Transaction transaction, Answer answer)
{
    const quint64 ticket = ++m_lastTicket;
    m_waiting.append({ticket, std::move(transaction), std::move(answer)});
    if (!m_next.isActive())
        m_next.start();
    return ticket;
}

void PageBatch::withdraw(quint64 ticket)
{
    m_waiting.removeIf([ticket](const Waiting& waiting) { return waiting.ticket == ticket; });
    if (m_waiting.isEmpty())
        m_next.stop();
}

bool PageBatch::guarded(const std::function<void()>& work) const
{
    if (!m_guard) {
        work();
        return true;
    }
    return m_guard(work);
}

void PageBatch::write()
{
    // Transactions handed in while the answers below are given go into the next write.
    QList<Waiting> batch = std::exchange(m_waiting, {});
    if (batch.isEmpty())
        return;
    QList<PageQueuer::Transaction> transactions;
    QList<qsizetype> written; // the index in `transactions` of each waiting one, or -1
    for (const Waiting& waiting : std::as_const(batch)) {
        if (waiting.transaction.refusal) {
            written.append(-1);
        } else {
            written.append(transactions.size());
            transactions.append(waiting.transaction);
        }
    }
    const bool done = guarded([&] { m_queuer.writeAll(transactions); });
    for (qsizetype i = 0; i < batch.size(); ++i) {
        Outcome outcome;
        if (written[i] < 0) {
            outcome.refusal = batch[i].transaction.refusal;
        } else if (!done) {
            outcome.failed = true;
        } else {
            const PageQueuer::Transaction& transaction = transactions[written[i]];
            outcome.refusal = transaction.refusal;
            outcome.ids = transaction.ids;
            // Each client's pages are shown on their own: a log that fails for one of them
            // fails that client alone.
            if (!outcome.refusal)
                outcome.failed = !guarded([&] { m_queuer.showQueued(transaction); });
        }
        batch[i].answer(outcome);
    }
}
