#pragma once

#include <QDateTime>

#include <functional>

class ServerState;

// The one-second tick: the clock in panel 0, the logs emptied at midnight, and the countdown of
// whole minutes to the next automatic queue check. The time comes in as an argument, so the
// rules can be driven with any clock.
class NextCheckCountdown final
{
public:
    explicit NextCheckCountdown(ServerState& state);

    // Runs the queue; called at a due check when QueuedCount or the queue file says messages
    // are queued, with ServerBusy raised, and expected to lower it when the run ends however
    // it ends. Without a handler no run starts and ServerBusy stays down.
    void setOnAutomaticRun(std::function<void()> handler) { m_onAutomaticRun = std::move(handler); }
    // Told of every check that falls due, with or without pages to send.
    void setOnCheck(std::function<void(const QDateTime&)> handler)
    {
        m_onCheck = std::move(handler);
    }

    void tick(const QDateTime& now);

private:
    ServerState& m_state;
    std::function<void()> m_onAutomaticRun;
    std::function<void(const QDateTime&)> m_onCheck;
};
