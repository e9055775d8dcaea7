#pragma once

#include "pages/reconcilereport.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

class MessageQueue;
class PageStore;
struct NewPage;

// Message.Dat and the page store written together, each step in the order that lets
// PageStore::reconcile() repair a kill between any two of them (the protocol is described with
// PageStore). The file is written through its one owner, MessageQueue, which keeps the count of
// queued messages as it writes.
class PageQueue final
{
public:
    PageQueue(PageStore& store, MessageQueue& queue);

    PageStore& store() const { return m_store; }
    MessageQueue& queue() const { return m_queue; }

    // The steps, in the order they happen; the observer is told before each one. Tests stop a
    // sequence there to see what a kill at that point leaves.
    enum class Step {
        Accept,
        QueueWrite,
        Confirm,
        RecordFate,
        RemoveEntry,
        RecordRemoval,
        RecordCancel,
        DeleteQueue,
    };
    void setStepObserver(std::function<void(Step)> observer);
    // Told of the pages of every take() once they are all durable (the runtime counts them per
    // front end).
    void setOnTaken(std::function<void(const QList<NewPage>&)> onTaken);

    // Takes the pages: records them, writes them to the queue with one write, records where
    // they went. Their ids, in order, once every step is durable (the "250" may go out); nothing
    // when a company's section has no free key left, and then nothing was taken. Raises
    // EIniFileError or EPageStoreError when a step fails; nothing was taken then either (the
    // records are abandoned, or left for reconcile() when even that fails).
    std::optional<QList<qint64>> take(const QList<NewPage>& pages);

    // The operator's test message for `pin` in the access number's section (as
    // MessageQueue::addTestMessage writes it), recorded like any page: its id, or nothing when
    // the section is full. Its record keeps the settings the section holds for it: its own
    // length and codes and the password the section already had. Raises as take() does.
    std::optional<qint64> takeTestMessage(const QByteArray& accessNumber, const QByteArray& pin);

    // The terminal's answer for a page of a call: its fate recorded, then its entry removed
    // from the file and the removal recorded.
    void delivered(qint64 id, const QByteArray& section, const QueuedCompany::Message& message);
    void failed(qint64 id, const QByteArray& reason, const QByteArray& section,
                const QueuedCompany::Message& message);

    // The operator cleared the queue: its queued and held pages cancelled, the file deleted.
    // Gives the cancelled pages' ids. Raises EZelkorError when the file cannot be deleted.
    QList<qint64> clear(const QByteArray& reason);

    // Removes the entries that reconcile() or prune() listed, and records their removal.
    void remove(const QList<ReconcileReport::Removal>& removals);

private:
    void finish(qint64 id, const QByteArray& section, const QueuedCompany::Message& message);
    void step(Step step) const;

    PageStore& m_store;
    MessageQueue& m_queue;
    std::function<void(Step)> m_observer;
    std::function<void(const QList<NewPage>&)> m_onTaken;
};
