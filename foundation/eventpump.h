#pragma once

// The whole server runs on one thread with nested waits: a wait keeps the program alive by
// running the event loop, so socket, serial and timer handlers run inside it.
namespace EventPump {

// Handles what is pending and returns at once ("pump once").
void once();

// Blocks until at least one event has arrived, then handles what is pending. Every wait loop
// calls this between checks of its condition, so a waiting server sleeps instead of spinning;
// the one-second tick of the wait's TTimeCounter guarantees that it wakes up.
void waitForEvents();

} // namespace EventPump
