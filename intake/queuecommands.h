#pragma once

class ILogSinks;
class IOperatorPrompts;
class IServerStatus;
class PageQueue;
class ServerState;

// The operator's two queue commands of the main window's File menu, "Send Test Msg." and
// "Clear Msg. Queue", on the server's queue. Questions go through the operator prompts;
// failures (a queue file that cannot be written or deleted, a log that cannot be appended to)
// leave as EZelkorError for the application's standard error box.
class QueueCommands final
{
public:
    // With a page store, clearing the queue cancels its queued and held pages first.
    QueueCommands(ServerState& state, IOperatorPrompts& prompts, PageQueue* pages = nullptr);

    // Asks for a PIN and an access number, queues the test message in that number's section
    // under its next free message key, shows and logs the received-message lines and counts
    // the message. False when the operator cancelled or left an answer empty.
    bool sendTestMessage();

    // Asks "Clear All Queued Messages?"; on Yes deletes the queue file, sets the counter to 0
    // and shows and logs the time-stamped "Message Queue Cleared!" line. False on No.
    bool clearMessageQueue();

private:
    IServerStatus& m_status;
    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    PageQueue* m_pages;
};
