#include "core/admission.h"

#include "core/allowlist.h"
#include "core/ipmatch.h"
#include "core/iserversettings.h"
#include "core/serverconfig.h"

Admission::Admission(const IServerSettings& settings) : m_settings(settings) {}

bool Admission::addressAdmitted(const QByteArray& address) const
{
    const TServerConfig& config = m_settings.config();
    return AddressAdmitted(address, config.IPAccept, config.IPDeny);
}

Admission::NumberCheck Admission::checkNumber(const QByteArray& number) const
{
    if (!isDiallable(number))
        return NumberCheck::NotDiallable;
    if (!allowListAllows(number))
        return NumberCheck::NotAllowed;
    return NumberCheck::Allowed;
}

bool Admission::mayDial(const QByteArray& number) const
{
    return checkNumber(number) == NumberCheck::Allowed;
}

bool Admission::allowListAllows(const QByteArray& number) const
{
    return AllowList::allows(m_settings.allowList(), number);
}

bool Admission::isDiallable(const QByteArray& number)
{
    bool digit = false;
    for (const char c : number) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != ' ' && c != '-' && c != '(' && c != ')' && c != ',' && c != '*' && c != '#')
            return false;
    }
    return digit;
}
