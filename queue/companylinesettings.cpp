#include "queue/companylinesettings.h"

bool CompanyLineSettings::codesKnown() const
{
    return LineCodes::isParity(parity) && LineCodes::isDataBits(dataBits) &&
           LineCodes::isStopBits(stopBits);
}
