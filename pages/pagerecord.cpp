#include "pages/pagerecord.h"

#include "foundation/inilines.h"

QByteArray QueueTie::identity() const
{
    return identity(section, key, value);
}

QByteArray QueueTie::identity(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    // Neither a section nor a key can hold a line end, so the parts cannot run into each other.
    return IniLines::folded(section.trimmed()) + '\n' + IniLines::folded(key.trimmed()) + '\n' +
           value.toByteArray();
}
