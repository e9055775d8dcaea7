#include "directories/shareduserfile.h"

#include "directories/directorychecks.h"
#include "directories/sectionname.h"
#include "foundation/errors.h"
#include "foundation/inisnapshot.h"
#include "foundation/widgettext.h"

SharedUserFile::SharedUserFile(const QString& path) : m_file(path) {}

QList<QByteArray> SharedUserFile::names() const
{
    QList<QByteArray> names;
    ListSections(m_file.FileName(), names);
    return names;
}

bool SharedUserFile::contains(const QByteArray& name) const
{
    for (const QByteArray& listed : names()) {
        if (SectionName::same(listed, name))
            return true;
    }
    return false;
}

SharedUser SharedUserFile::read(const QByteArray& name) const
{
    return {name, m_file.ReadText(name, "PIN", QByteArray()),
            m_file.ReadText(name, "PROVIDER", QByteArray())};
}

std::optional<SharedUser> SharedUserFile::find(const QByteArray& name) const
{
    return findIn(IniSnapshot::read(m_file.FileName()), name);
}

std::optional<SharedUser> SharedUserFile::findIn(const IniSnapshot& file, const QByteArray& name)
{
    if (!file.listed(name))
        return std::nullopt;
    return SharedUser{name, file.text(name, "PIN", QByteArray()),
                      file.text(name, "PROVIDER", QByteArray())};
}

void SharedUserFile::write(const SharedUser& user)
{
    if (!SectionName::isStorable(user.Name))
        throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidUserName()));
    if (!SectionName::isStorableValue(user.PIN) || !SectionName::isStorableValue(user.Provider))
        throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidValue()));
    m_file.WriteTexts(user.Name, {{"PIN", user.PIN}, {"PROVIDER", user.Provider}});
}

void SharedUserFile::remove(const QByteArray& name)
{
    m_file.DeleteSection(name);
}
