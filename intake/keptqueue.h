#pragma once

class ServerState;

// The queue file at start-up. The program deletes it at a normal close (or delivers it
// first), so a file found when it starts was left by a run that ended without one: killed,
// crashed, or the machine lost power. Its pages were answered "250 Message Accepted For
// Processing", so they are kept and delivered at the next check.
namespace KeptQueue {

// The queue counts the file's messages into QueuedCount, and "Queued messages kept from the last
// run: N" is logged (the Connection Log and Log.Dat). Without a file the count is 0 and nothing
// is logged.
void takeOver(ServerState& state);

} // namespace KeptQueue
