#include "directories/sharedgroupfile.h"

#include "directories/directorychecks.h"
#include "directories/sectionname.h"
#include "foundation/errors.h"
#include "foundation/inisnapshot.h"
#include "foundation/widgettext.h"

#include <utility>

SharedGroupFile::SharedGroupFile(const QString& path) : m_file(path) {}

QList<QByteArray> SharedGroupFile::names() const
{
    QList<QByteArray> names;
    ListSections(m_file.FileName(), names);
    return names;
}

QList<QByteArray> SharedGroupFile::members(const QByteArray& name) const
{
    if (name.isEmpty())
        return {};
    return membersIn(IniSnapshot::read(m_file.FileName()), name);
}

QList<QByteArray> SharedGroupFile::membersIn(const IniSnapshot& file, const QByteArray& name)
{
    QList<QByteArray> members;
    if (name.isEmpty())
        return members;
    for (const auto& [key, member] : file.entries(name)) {
        if (!member.isEmpty())
            members.append(member);
    }
    return members;
}

void SharedGroupFile::write(const QByteArray& name, const QList<QByteArray>& members)
{
    if (!SectionName::isStorable(name))
        throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidGroupName()));
    QList<std::pair<QByteArray, QByteArray>> entries;
    for (const QByteArray& member : members) {
        if (!SectionName::isStorableValue(member))
            throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidValue()));
        entries.append({"User" + QByteArray::number(entries.size()), member});
    }
    m_file.ReplaceSection(name, entries);
}

void SharedGroupFile::remove(const QByteArray& name)
{
    m_file.DeleteSection(name);
}
