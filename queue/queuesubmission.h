#pragma once

#include "queue/companylinesettings.h"
#include "queue/queueentry.h"

#include <QByteArray>

// One page as the queue takes it, whichever front end it came through: the paging company's
// access number (its section's name, exactly as it arrived), the company's line settings and
// the entry with the page's fields and its sender. Each front end reads its own wire format
// into this record; the checks and the write that follow are the same for all of them.
struct QueueSubmission final
{
    QByteArray accessNumber;
    CompanyLineSettings settings;
    QueueEntry entry;

    bool operator==(const QueueSubmission&) const = default;
};
