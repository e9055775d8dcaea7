#pragma once

#include <QByteArray>

// Why a page was not queued.
struct PageRefusal
{
    // QueueFull: a company's section has no free message key left, the queue's limit rather
    // than the page's fault. Unavailable: the queue file could not be written. In both the
    // page itself was sound.
    enum class Kind { NumberNotAllowed, Rejected, QueueFull, Unavailable };
    Kind kind;
    // NumberNotAllowed: the access number; otherwise the short reason.
    QByteArray reason;
};
