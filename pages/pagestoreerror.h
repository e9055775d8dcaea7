#pragma once

#include "foundation/errors.h"

// The page store could not be opened, read or written. Its message names the store's file and
// what the database said.
class EPageStoreError final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};
