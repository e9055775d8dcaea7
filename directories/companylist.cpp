#include "directories/companylist.h"

#include "directories/datadialogs.h"
#include "directories/directorychecks.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

CompanyList::CompanyList(const QString& directory, IOperatorPrompts& prompts)
    : m_prompts(prompts), m_file(directory)
{
}

void CompanyList::open()
{
    m_names = NameList(m_file.names());
}

qsizetype CompanyList::add(ICompanyDataDialog& dialog)
{
    PagingCompany company;
    if (!dialog.execute(company))
        return -1;
    if (m_names.containsIgnoringCase(company.Name)) {
        DirectoryChecks::warn(m_prompts, QStringLiteral("Paging Company Already In List!"));
        return -1;
    }
    m_file.write(company);
    return m_names.insert(company.Name);
}

bool CompanyList::edit(qsizetype index, ICompanyDataDialog& dialog)
{
    if (!m_names.isValidIndex(index))
        return false;
    PagingCompany company = m_file.read(m_names.at(index)).normalised();
    if (!dialog.execute(company))
        return false;
    // A changed name stores the company a second time; the old section stays, and the new
    // name is listed from the next opening on.
    m_file.write(company);
    return true;
}

bool CompanyList::remove(qsizetype index)
{
    if (!m_names.isValidIndex(index))
        return false;
    const QByteArray name = m_names.at(index);
    m_prompts.beep();
    if (!m_prompts.askYesNo(IOperatorPrompts::BoxKind::Warning,
                            QStringLiteral("Delete ") + WidgetText::fromBytes(name)))
        return false;
    m_file.remove(name);
    m_names.removeAt(index);
    return true;
}
