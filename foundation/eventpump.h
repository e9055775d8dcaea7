#pragma once

#include <functional>

// The whole server runs on one thread with nested waits: a wait keeps the program alive by
// running the event loop, so socket, serial and timer handlers run inside it.
namespace EventPump {

// Handles what is pending and returns at once ("pump once").
void once();

// Blocks until at least one event has arrived, then handles what is pending. Every wait loop
// calls this between checks of its condition, so a waiting server sleeps instead of spinning;
// the one-second tick of the wait's TTimeCounter guarantees that it wakes up.
void waitForEvents();

// Checks `done`, and while it does not hold, blocks in the event loop until something happens,
// for at most `ms` milliseconds in all (a precise timer wakes the wait at the end). True when
// `done` held. For waits shorter than the one-second tick of a TTimeCounter.
bool waitFor(int ms, const std::function<bool()>& done);

} // namespace EventPump
