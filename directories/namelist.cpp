#include "directories/namelist.h"

#include "directories/sectionname.h"

#include <algorithm>

NameList::NameList(const QList<QByteArray>& names)
{
    for (const QByteArray& name : names)
        insert(name);
}

qsizetype NameList::insert(const QByteArray& name)
{
    const auto at = std::upper_bound(m_names.begin(), m_names.end(), name,
                                     [](const QByteArray& a, const QByteArray& b) {
                                         return a.compare(b, Qt::CaseInsensitive) < 0;
                                     });
    const qsizetype index = at - m_names.begin();
    m_names.insert(index, name);
    return index;
}

qsizetype NameList::indexIgnoringCase(const QByteArray& name) const
{
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (SectionName::same(m_names[i], name))
            return i;
    }
    return -1;
}
