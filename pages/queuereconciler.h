#pragma once

#include "pages/reconcilereport.h"

class MessageQueueFile;
class PageDatabase;

// Makes the page store agree with Message.Dat after a start, whatever step of taking or sending
// pages a kill interrupted (the protocol is described with PageStore). Each queue line is
// claimed by at most one record: first by the pages still to be sent (section, key and exact
// value), then by pages whose queue write may have happened (section and value: their key was
// not recorded yet), then by final pages whose removal was interrupted. Whatever is left over
// gets a record of its own. It all happens in one transaction.
class QueueReconciler final
{
public:
    QueueReconciler(PageDatabase& db, qint64 now);

    // Raises EPageStoreError when the queue file is there but cannot be read: taking its
    // silence for an empty queue would fail every page in it.
    ReconcileReport run(const MessageQueueFile& queue);

private:
    PageDatabase& m_db;
    qint64 m_now;
};
