#include "directories/companydirectory.h"

#include "directories/directorychecks.h"
#include "directories/sectionname.h"
#include "directories/sharedpaths.h"
#include "foundation/errors.h"
#include "foundation/inisnapshot.h"
#include "foundation/widgettext.h"

CompanyDirectory::CompanyDirectory(const QString& directory)
    : m_file(SharedPaths::providerFile(directory))
{
}

QList<QByteArray> CompanyDirectory::names() const
{
    QList<QByteArray> names;
    ListSections(m_file.FileName(), names);
    return names;
}

bool CompanyDirectory::contains(const QByteArray& name) const
{
    for (const QByteArray& listed : names()) {
        if (SectionName::same(listed, name))
            return true;
    }
    return false;
}

PagingCompany CompanyDirectory::read(const QByteArray& name) const
{
    // One read of the file for all six keys.
    return readIn(IniSnapshot::read(m_file.FileName()), name);
}

std::optional<PagingCompany> CompanyDirectory::find(const QByteArray& name) const
{
    return findIn(IniSnapshot::read(m_file.FileName()), name);
}

PagingCompany CompanyDirectory::readIn(const IniSnapshot& file, const QByteArray& name)
{
    const PagingCompany fresh;
    PagingCompany company;
    company.Name = name;
    company.AccessNumber = file.text(name, "Access Number", QByteArray());
    company.Password = file.text(name, "Password", QByteArray());
    company.Length = file.text(name, "Length", fresh.Length);
    company.Parity = file.number(name, "Parity", fresh.Parity);
    company.DataBits = file.number(name, "DataBits", fresh.DataBits);
    company.StopBits = file.number(name, "StopBits", fresh.StopBits);
    return company;
}

std::optional<PagingCompany> CompanyDirectory::findIn(const IniSnapshot& file,
                                                      const QByteArray& name)
{
    if (!file.listed(name))
        return std::nullopt;
    return readIn(file, name);
}

void CompanyDirectory::write(const PagingCompany& c)
{
    if (!SectionName::isStorable(c.Name))
        throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidCompanyName()));
    if (!SectionName::isStorableValue(c.Password))
        throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidPassword()));
    if (!SectionName::isStorableValue(c.AccessNumber) || !SectionName::isStorableValue(c.Length))
        throw EZelkorError(WidgetText::toBytes(DirectoryChecks::invalidValue()));
    m_file.WriteTexts(c.Name, {{"Access Number", c.AccessNumber},
                               {"Password", c.Password},
                               {"Length", c.Length},
                               {"Parity", QByteArray::number(c.Parity)},
                               {"DataBits", QByteArray::number(c.DataBits)},
                               {"StopBits", QByteArray::number(c.StopBits)}});
}

void CompanyDirectory::remove(const QByteArray& name)
{
    m_file.DeleteSection(name);
}
