#pragma once

#include "directories/companydirectory.h"
#include "directories/namelist.h"

#include <QString>

class ICompanyDataDialog;
class IOperatorPrompts;

// The commands of the paging company list: the sorted company names of Provider.dat and their
// Add, Edit and Delete. Every change goes to the file at once; a write the file store refuses
// raises its error and leaves the list as it was.
class CompanyList final
{
public:
    CompanyList(const QString& directory, IOperatorPrompts& prompts);

    const CompanyDirectory& directory() const { return m_file; }
    const NameList& names() const { return m_names; }

    // Reads the names anew from the file.
    void open();
    // A new company through the dialog; the list index of its name, or -1 when nothing was
    // stored (cancelled, or a name already listed).
    qsizetype add(ICompanyDataDialog& dialog);
    // The company at `index` through the dialog, stored under the name the dialog closes
    // with; the list stays as it is. True when something was written.
    bool edit(qsizetype index, ICompanyDataDialog& dialog);
    // Asks, then removes the company at `index`; true when removed.
    bool remove(qsizetype index);

private:
    IOperatorPrompts& m_prompts;
    CompanyDirectory m_file;
    NameList m_names;
};
