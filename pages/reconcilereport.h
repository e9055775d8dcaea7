#pragma once

#include "queue/queuedcompany.h"

#include <QByteArray>
#include <QList>

// What PageStore::reconcile() found and did when it made the store agree with Message.Dat.
struct ReconcileReport
{
    // A queue entry whose page is final: its line is to be removed from the file
    // (MessageQueueFile::removeMessage), then the page marked removed.
    struct Removal
    {
        qint64 id = 0;
        QByteArray section;
        QueuedCompany::Message message;
    };

    qint64 confirmed = 0;    // written before the kill, now queued or held
    qint64 dropped = 0;      // never written: the records are gone, nothing was taken
    QList<qint64> requeued;  // were being sent: queued again, and paged again if the
                             // terminal had acknowledged them before the kill
    QList<qint64> lost;      // queued but no longer in the file: failed
    QList<qint64> adopted;   // entries the store did not know: now queued under these ids
    QList<Removal> toRemove; // final pages whose entries are still in the file
};
