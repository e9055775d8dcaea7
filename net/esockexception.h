#pragma once

#include "foundation/errors.h"

// Failures of the socket component and of the host and port lookups. It carries only the
// operator's text ("Listen - Socket Already In Use", "Host Lookup - Could Not Find Host Entry").
class ESockException final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};
