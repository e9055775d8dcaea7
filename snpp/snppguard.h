#pragma once

#include <functional>

// Runs a piece of a paging client's session that calls into the server around the gateway (a
// command, a SEND tried again). True when the work returned. False when it failed and the
// guard has dealt with the failure (said it and logged it): the session then ends.
using SnppGuard = std::function<bool(const std::function<void()>& work)>;
