#pragma once

// The durations of the gateway's sessions, in milliseconds. Tests shorten them; the program
// runs with these.
struct SnppTiming
{
    // A session without a command for this long ends with "421".
    int idleMs = 10 * 60 * 1000;
    // While the queue is being delivered, SEND asks again this often ...
    int busyPollMs = 250;
    // ... and gives up after this long, keeping the transaction for another SEND.
    int busyLimitMs = 120 * 1000;
    // After its last reply a session waits this long at most for the client to take the reply
    // and close its end, taking in and dropping what the client still sends.
    int drainMs = 1000;
};
