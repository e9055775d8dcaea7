#pragma once

#include <QByteArray>
#include <QList>

#include <ostream>

// Byte texts in test failures as text, not as lists of characters.
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const QList<QByteArray>& list, std::ostream* out)
{
    *out << '{';
    for (const QByteArray& bytes : list) {
        PrintTo(bytes, out);
        *out << ' ';
    }
    *out << '}';
}
