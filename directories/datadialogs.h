#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct PagingCompany;
struct SharedUser;

// The data dialogs that the list commands show modally. The desktop program shows its forms;
// tests play the operator.

class ICompanyDataDialog
{
public:
    virtual ~ICompanyDataDialog() = default;
    // Shows `company`; true on OK, with `company` holding what the dialog shows then.
    virtual bool execute(PagingCompany& company) = 0;
};

class IUserDataDialog
{
public:
    virtual ~IUserDataDialog() = default;
    // Lists the companies of Provider.dat in `directory` as providers, selects the first one
    // equal to `user.Provider` without regard to letter case (none when it is empty or not
    // listed) and shows `user`; true on OK, with `user` holding what the dialog shows then
    // (an empty provider when none is selected).
    virtual bool execute(SharedUser& user, const QString& directory) = 0;
};

class IGroupDialog
{
public:
    virtual ~IGroupDialog() = default;
    // Shows the group `name` with its members in `groupFile` and the users of `userFile`;
    // true on OK, with `name` and `members` (in the member list's order) as shown then.
    virtual bool execute(QByteArray& name, QList<QByteArray>& members, const QString& userFile,
                         const QString& groupFile) = 0;
};
