#pragma once

#include "foundation/errors.h"

// The paging engine's failure. Created from a code that selects the operator's text.
class EPageError final : public EZelkorError
{
public:
    explicit EPageError(int code);

    int code() const { return m_code; }
    // The text for a code; "Unknown Error!" for a code without one.
    static QByteArray messageFor(int code);

private:
    int m_code;
};
