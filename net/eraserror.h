#pragma once

#include "foundation/errors.h"

// A failure of the dial-up library: the library's text for the code, and the code itself.
class ERASError final : public EZelkorError
{
public:
    ERASError(const QByteArray& message, int code) : EZelkorError(message), m_code(code) {}
    int ErrorCode() const { return m_code; }

private:
    int m_code;
};
