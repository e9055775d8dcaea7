#pragma once

#include "queue/queuesubmission.h"

#include <QByteArray>

struct PagingCompany;

// The page for one pager a paging client named (over SNPP or HTTP), as the queue takes it: the
// company's access number and its settings as its dialog shows them, the text, the PIN, the
// sender's address and the pager ID as the addressee. The company's length is the text of one
// of the dialog's entries; any other text is taken as length 0, which the queue's checks refuse.
QueueSubmission pagerSubmission(const PagingCompany& company, const QByteArray& pin,
                                const QByteArray& text, const QByteArray& pagerId,
                                const QByteArray& sender);
