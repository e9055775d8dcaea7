#pragma once

#include "foundation/errors.h"

// The line to the paging company went down before the message in hand was handed over (the
// connection dropped, the carrier's web service failed): the message was not sent and stays
// queued, and the call is over. Not an EPageError, which would count the message as done
// with. The text is the reason, for the log.
class ELineLost final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};
