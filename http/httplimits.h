#pragma once

#include <QtGlobal>

// What the HTTP listener lets one client hold. The defaults are the production values; tests
// shorten the times.
struct HttpLimits
{
    // A request's line and headers together; more is answered 431.
    qsizetype headerBytes = 16 * 1024;
    // A request's body; more is answered 413 (before it is read, when the client says so).
    qint64 bodyBytes = 1024 * 1024;
    // A connection must bring its next whole request within this time, counted from its
    // opening and from the end of its last request; otherwise it is dropped.
    int stallMilliseconds = 30 * 1000;
    // Connections one address may hold; the next one is answered 429 and closed.
    int connectionsPerAddress = 16;
    // Connections of all clients together; at this many the listener stops accepting and new
    // clients wait in the kernel's backlog until one ends.
    int connections = 512;
    // How long a connection that is being closed (after a refusal or an error reply) may take
    // to let its reply go out before it is dropped.
    int closingMilliseconds = 5 * 1000;
};
