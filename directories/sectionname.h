#pragma once

#include <QByteArray>

// Names of companies, users and groups are section names of their files, and values are the
// rest of one line. A name must read back as itself through both readers of those files: the
// section/key store, which trims the name in its "[...]" header, and the line scan that lists
// sections by removing the first "[" and the first "]" of a line.
class SectionName final
{
public:
    // Not empty, no "[" or "]", no control character, no blank at either end.
    static bool isStorable(const QByteArray& name);
    // No CR, LF or NUL, so the value stays on its one line and reads back whole; and not both
    // "[" and "]", which would make the line scan take the entry for a section.
    static bool isStorableValue(const QByteArray& value);
    // Names match as the store matches sections: without regard to letter case.
    static bool same(const QByteArray& a, const QByteArray& b);
};
