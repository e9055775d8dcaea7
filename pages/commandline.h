#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// A command line split into a program and its arguments without a shell, so that nothing in a
// setting (or in a page's fields, which only ever reach a command through its environment) is
// expanded or run. The rule, a small part of the POSIX shell's quoting:
//   - words are separated by blanks (spaces and tabs);
//   - '...' takes everything up to the next ' as it is;
//   - "..." takes everything up to the next unescaped " as it is, except that \" gives " and
//     \\ gives \ (any other backslash stays);
//   - outside quotes a backslash takes the next character as it is (so "\ " is a blank within a
//     word);
//   - quoted and unquoted parts next to each other make one word; "" and '' make an empty word;
//   - nothing else is special: $, `, ~, *, ;, |, &, <, > and # are ordinary characters.
namespace CommandLine {

struct Split
{
    QList<QByteArray> words; // the program first
    QByteArray problem;      // why the line cannot be split, when it cannot
};

// Fails on a quote that is not closed and on a backslash at the very end.
Split split(const QByteArray& line);

} // namespace CommandLine
