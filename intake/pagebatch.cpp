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

bool PageBatch::withdraw(quint64 ticket)
{
    if (m_writing.contains(ticket))
        return false;
    m_waiting.removeIf([ticket](const Waiting& waiting) { return waiting.ticket == ticket; });
    if (m_waiting.isEmpty())
        m_next.stop();
    return true;
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
        m_writing.append(waiting.ticket);
        if (waiting.transaction.refusal) {
            written.append(-1);
        } else {
            written.append(transactions.size());
            transactions.append(waiting.transaction);
        }
    }
    const auto work = [&] { m_queuer.queueAll(transactions); };
    bool done = true;
    if (m_guard)
        done = m_guard(work);
    else
        work();
    for (qsizetype i = 0; i < batch.size(); ++i) {
        Outcome outcome;
        if (written[i] < 0) {
            outcome.refusal = batch[i].transaction.refusal;
        } else if (!done) {
            outcome.failed = true;
        } else {
            outcome.refusal = transactions[written[i]].refusal;
            outcome.ids = transactions[written[i]].ids;
        }
        m_writing.removeOne(batch[i].ticket);
        batch[i].answer(outcome);
    }
}
