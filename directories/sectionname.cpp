#include "directories/sectionname.h"

namespace {

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

} // namespace

bool SectionName::isStorable(const QByteArray& name)
{
    if (name.isEmpty() || name.front() == ' ' || name.back() == ' ')
        return false;
    for (const char c : name) {
        if (c == '[' || c == ']' || isControl(c))
            return false;
    }
    return true;
}

bool SectionName::isStorableValue(const QByteArray& value)
{
    if (value.contains('[') && value.contains(']'))
        return false;
    return !value.contains('\r') && !value.contains('\n') && !value.contains('\0');
}

bool SectionName::same(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
