#pragma once

#include <QByteArray>
#include <QList>

// The names of a sorted list box: alphabetical without regard to letter case, a new name after
// the names that sort equal to it, duplicates kept.
class NameList final
{
public:
    NameList() = default;
    explicit NameList(const QList<QByteArray>& names);

    const QList<QByteArray>& names() const { return m_names; }
    qsizetype size() const { return m_names.size(); }
    bool isEmpty() const { return m_names.isEmpty(); }
    const QByteArray& at(qsizetype index) const { return m_names.at(index); }
    bool isValidIndex(qsizetype index) const { return index >= 0 && index < m_names.size(); }

    // Inserts the name at its sorted place and returns that place.
    qsizetype insert(const QByteArray& name);
    void removeAt(qsizetype index) { m_names.removeAt(index); }
    void clear() { m_names.clear(); }
    // The first name equal to `name` without regard to letter case, or -1.
    qsizetype indexIgnoringCase(const QByteArray& name) const;
    bool containsIgnoringCase(const QByteArray& name) const { return indexIgnoringCase(name) >= 0; }

private:
    QList<QByteArray> m_names;
};
