#pragma once

#include <QByteArray>

// Why a page was not queued.
struct PageRefusal
{
    // Unavailable: the queue file could not be written; the page itself was sound.
    enum class Kind { NumberNotAllowed, Rejected, Unavailable };
    Kind kind;
    // NumberNotAllowed: the access number; otherwise the short reason.
    QByteArray reason;
};
