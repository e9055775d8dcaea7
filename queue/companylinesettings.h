#pragma once

#include "foundation/linecodes.h"

#include <QByteArray>

// A paging company's line settings as its queue section keeps them: the terminal's password,
// the most characters a page may hold, and the line codes (LineCodes) the port is set to. They
// belong to the company, not to one page: every page queued for it rewrites them in place.
// A section that names none of them is read with these defaults.
struct CompanyLineSettings final
{
    QByteArray password;
    qint32 length = 80;
    qint32 parity = LineCodes::DefaultParity;
    qint32 dataBits = LineCodes::DefaultDataBits;
    qint32 stopBits = LineCodes::DefaultStopBits;

    // The three codes are codes the port knows.
    bool codesKnown() const;

    bool operator==(const CompanyLineSettings&) const = default;
};
