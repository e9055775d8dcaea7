#pragma once

#include "foundation/errors.h"

// A dial-up connection that neither came up nor failed within the dial-up object's TimeOut.
class ETimedOutError final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};
