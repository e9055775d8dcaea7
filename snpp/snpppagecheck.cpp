#include "snpp/snpppagecheck.h"

#include "foundation/tapsplit.h"

namespace SnppPageCheck {

qint32 lengthOf(const PagingCompany& company)
{
    return PagingCompany::lengths().contains(company.Length) ? company.Length.toInt() : 0;
}

std::optional<QByteArray> pinRefusal(const PagerTarget& target)
{
    const qint32 length = lengthOf(target.company);
    if (length > 0 && !TapSplit::pinLeavesRoom(target.pin.size(), length))
        return "PIN Too Long For " + target.company.Name;
    return std::nullopt;
}

bool tooLong(const PagerTarget& target, const QByteArray& text)
{
    const qint32 length = lengthOf(target.company);
    return length > 0 && TapSplit::tooLong(target.pin, length, text,
                                           TapSplit::isSevenBitCode(target.company.DataBits));
}

} // namespace SnppPageCheck
