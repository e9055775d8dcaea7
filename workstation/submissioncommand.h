#pragma once

#include <QByteArray>

// One command of a workstation's conversation: everything it sent since the server's last read,
// taken as one text. The command word is the first four characters, compared exactly; the
// argument of "HELO" and "PAGE" starts at the sixth character (the word and one blank dropped).
// Nothing is stripped, so a line end that a client sends becomes part of the argument.
struct SubmissionCommand final
{
    enum class Verb { Helo, Page, Data, Done, Unknown };

    Verb verb = Verb::Unknown;
    QByteArray argument;

    static SubmissionCommand parse(const QByteArray& text);
};
