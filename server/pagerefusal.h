#pragma once

#include <QByteArray>

// Why a page was not queued.
struct PageRefusal
{
    enum class Kind { NumberNotAllowed, Rejected };
    Kind kind;
    // NumberNotAllowed: the access number; Rejected: the short reason.
    QByteArray reason;
};
