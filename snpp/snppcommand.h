#pragma once

#include <QByteArray>

#include <utility>

// One command line of a paging client, its line end removed. The command is named by the first
// four letters of its first word, in any letter case ("PAGEr", "page" and "PAGE" are one
// command); the argument is the rest of the line after the word and the blanks that follow it,
// without blanks at its end.
struct SnppCommand final
{
    enum class Verb {
        Page,
        Mess,
        Data,
        Subj,
        Rese,
        Send,
        Quit,
        Help,
        Logi,
        Leve,
        Site,
        Hold,
        Call,
        Unknown
    };

    Verb verb = Verb::Unknown;
    QByteArray argument;

    static SnppCommand parse(const QByteArray& line);
    // The first word of `text` and the rest after the blanks that follow it (the rest without
    // blanks at its end): "SITE HELP NOTIFY" gives "SITE" and "HELP NOTIFY".
    static std::pair<QByteArray, QByteArray> splitWord(const QByteArray& text);
};
