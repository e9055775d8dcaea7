#pragma once

#include <QDateTime>

#include <functional>

class ServerCore;

// The main window's one-second tick: the clock in panel 0, the logs emptied at midnight, and
// the countdown of whole minutes to the next automatic queue check. The time comes in as an
// argument, so the rules can be driven with any clock.
class NextCheckCountdown final
{
public:
    explicit NextCheckCountdown(ServerCore& core);

    // Runs the queue; called with ServerBusy raised, and expected to lower it when the run ends
    // however it ends. Without a handler no run starts and ServerBusy stays down.
    void setOnAutomaticRun(std::function<void()> handler) { m_onAutomaticRun = std::move(handler); }

    void Timer1Timer(const QDateTime& now);

private:
    ServerCore& m_core;
    std::function<void()> m_onAutomaticRun;
};
