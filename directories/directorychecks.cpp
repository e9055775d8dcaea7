#include "directories/directorychecks.h"

#include "directories/pagingcompany.h"
#include "directories/sectionname.h"
#include "directories/shareduserfile.h"
#include "foundation/operatorprompts.h"

namespace {

// Why a name was refused: the files name their sections between "[" and "]" and drop blanks
// around them, so such a name would come back as another one.
QString withNameRule(const char* first)
{
    return QLatin1String(first) + QStringLiteral("\r\nNames Can Not Hold [ Or ], Control "
                                                 "Characters, Or Blanks At Either End.");
}

QString withCharacterRule(const char* first)
{
    return QLatin1String(first) +
           QStringLiteral("\r\nNames Can Only Hold Western European (Latin-1) Characters.");
}

} // namespace

void DirectoryChecks::warn(IOperatorPrompts& prompts, const QString& text)
{
    prompts.beep();
    prompts.showMessage(IOperatorPrompts::BoxKind::Warning, text);
}

DirectoryChecks::Field DirectoryChecks::checkCompany(const PagingCompany& company,
                                                     IOperatorPrompts& prompts)
{
    if (company.Name.isEmpty()) {
        warn(prompts, QStringLiteral("No Company Name Specified!"));
        return Field::Name;
    }
    if (!SectionName::isStorable(company.Name)) {
        warn(prompts, invalidCompanyName());
        return Field::Name;
    }
    if (company.AccessNumber.isEmpty()) {
        warn(prompts, QStringLiteral("No Access Number Specified!"));
        return Field::AccessNumber;
    }
    if (!SectionName::isStorableValue(company.Password)) {
        warn(prompts, invalidPassword());
        return Field::Password;
    }
    return Field::None;
}

DirectoryChecks::Field DirectoryChecks::checkUser(const SharedUser& user, IOperatorPrompts& prompts)
{
    if (user.Name.isEmpty()) {
        warn(prompts, QStringLiteral("No Name Specified!"));
        return Field::Name;
    }
    if (!SectionName::isStorable(user.Name)) {
        warn(prompts, invalidUserName());
        return Field::Name;
    }
    if (user.PIN.isEmpty()) {
        warn(prompts, QStringLiteral("No PIN Specified!"));
        return Field::PIN;
    }
    if (user.Provider.isEmpty()) {
        warn(prompts, QStringLiteral("No Provider Specified!"));
        return Field::Provider;
    }
    return Field::None;
}

DirectoryChecks::Field DirectoryChecks::checkGroup(const QByteArray& name, qsizetype memberCount,
                                                   IOperatorPrompts& prompts)
{
    if (name.isEmpty()) {
        warn(prompts, QStringLiteral("No Group Name Specified!"));
        return Field::Name;
    }
    if (!SectionName::isStorable(name)) {
        warn(prompts, invalidGroupName());
        return Field::Name;
    }
    if (memberCount < 2) {
        warn(prompts, QStringLiteral("Must Have At Least 2 User!"));
        return Field::Members;
    }
    return Field::None;
}

bool DirectoryChecks::isDigitKey(QChar typed)
{
    return (typed >= QLatin1Char('0') && typed <= QLatin1Char('9')) || typed.unicode() == 8;
}

QString DirectoryChecks::invalidCompanyName()
{
    return withNameRule("Invalid Company Name Specified!");
}

QString DirectoryChecks::invalidUserName()
{
    return withNameRule("Invalid Name Specified!");
}

QString DirectoryChecks::invalidGroupName()
{
    return withNameRule("Invalid Group Name Specified!");
}

QString DirectoryChecks::invalidPassword()
{
    return QStringLiteral("Invalid Password Specified!\r\nA Password Can Not Hold Line Breaks "
                          "Or Both [ And ].");
}

QString DirectoryChecks::invalidValue()
{
    return QStringLiteral("Invalid Value Specified!\r\nValues Can Not Hold Line Breaks Or "
                          "Both [ And ].");
}

QString DirectoryChecks::unstorableCompanyName()
{
    return withCharacterRule("Invalid Company Name Specified!");
}

QString DirectoryChecks::unstorableUserName()
{
    return withCharacterRule("Invalid Name Specified!");
}

QString DirectoryChecks::unstorableGroupName()
{
    return withCharacterRule("Invalid Group Name Specified!");
}

QString DirectoryChecks::unstorablePassword()
{
    return QStringLiteral("Invalid Password Specified!\r\nA Password Can Only Hold Western "
                          "European (Latin-1) Characters.");
}
