#pragma once

#include <QByteArray>
#include <QString>

class IOperatorPrompts;
struct PagingCompany;
struct SharedUser;

// The checks of the company, user and group dialogs' OK buttons and the warnings they give.
// Each check warns about the first thing missing and names the control to put the focus on;
// the dialog stays open until nothing is.
class DirectoryChecks final
{
public:
    enum class Field { None, Name, AccessNumber, Password, PIN, Provider, Members };

    // A warning: the asterisk sound (the system's information sound), then a modal "Warning"
    // box with an OK button.
    static void warn(IOperatorPrompts& prompts, const QString& text);

    static Field checkCompany(const PagingCompany& company, IOperatorPrompts& prompts);
    static Field checkUser(const SharedUser& user, IOperatorPrompts& prompts);
    static Field checkGroup(const QByteArray& name, qsizetype memberCount,
                            IOperatorPrompts& prompts);

    // The key filter of the access number and PIN fields: digits and backspace pass.
    static bool isDigitKey(QChar typed);

    // The warnings for names that would be stored under another name than the one typed.
    static QString invalidCompanyName();
    static QString invalidUserName();
    static QString invalidGroupName();
    // A password that would not stay on its line or that the company list would take for a
    // company of its own.
    static QString invalidPassword();
    // A value that would not read back as itself from its line of the file.
    static QString invalidValue();

    // The files keep one byte per character (Latin-1): a typed character beyond that would be
    // stored as "?", so a name or password holding one is refused with these warnings.
    static QString unstorableCompanyName();
    static QString unstorableUserName();
    static QString unstorableGroupName();
    static QString unstorablePassword();
};
