#pragma once

#include <functional>

// Every fixed duration of the server (the one-second tick of the time-out counters, the pauses
// of the paging engine and of call processing, the protocol's pauses) goes through here. The
// program runs at scale 1; tests shrink the scale so a 60-second modem wait takes milliseconds.
namespace Pacing {

void setScale(double factor);
double scale();

// The nominal duration in milliseconds at the current scale (at least 1 for a positive one).
int scaled(int nominalMs);

// A blocking pause of the scaled duration: nothing else runs meanwhile.
void sleep(int nominalMs);

// A pause of at least the scaled duration during which the event loop keeps running, so other
// connections and the window stay served.
void pauseResponsive(int nominalMs);

// The same pause, cut short as soon as `stop` holds (checked after every event). True when it
// was cut short.
bool pauseResponsiveUntil(int nominalMs, const std::function<bool()>& stop);

} // namespace Pacing
