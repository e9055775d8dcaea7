#pragma once

#include "workstation/conversationlimits.h"

#include <QObject>
#include <QString>

class ILogSinks;
class IOperatorPrompts;
class IServerSettings;
class ISubmissionHandler;
class Pacing;
class TSock;

// The server's listening socket Sock1 and what the main window does with it: listen on the
// configured port at start-up, listen again on every confirmed settings dialog, stop at close,
// and show the host's address. Accepted connections go to accept().
class ServerListener final : public QObject
{
    Q_OBJECT

public:
    // Conversations are served by `handler`; the port is the settings' Port.
    ServerListener(ISubmissionHandler& handler, const IServerSettings& settings, ILogSinks& log,
                   IOperatorPrompts& prompts, QObject* parent = nullptr);
    ~ServerListener() override;

    TSock& Sock1() const { return *m_sock; }
    // How many conversations run at once, and from one address.
    ConversationLimits& limits() { return m_limits; }
    // The durations of the conversations' waits and pauses; standard unless given.
    void setPacing(const Pacing& pacing);

    // Sets the port name to the configured Port and switches listening on. A port that cannot
    // be used is shown in the standard error box; the server then runs without listening
    // until the settings name a usable port.
    void startListening();
    // Stops listening if it is on, then starts again with the configured Port: done on every
    // confirmed settings dialog, whether or not the port changed.
    void restartListening();
    void stopListening();
    // Ends the running conversations by closing their connections. A conversation that has not
    // answered "250" has queued nothing, and its client sees the page was not taken.
    void closeConversations();

    // "Current IP Address Is " + '"' + the host's address + '"'.
    static QString ipAddressText();
    // Shows that text in an information box.
    void showIpAddress();

    // The connection handler: serves `client` to the end of its conversation, run inside the
    // listener's accept notification, within the bounds of the limits. A connection from an
    // address that holds its share already is closed at once, without a reply, and named in the
    // "Connection Log". One whose first command does not come in time is closed without a reply.
    void accept(TSock& listener, TSock& client);

private:
    ISubmissionHandler& m_handler;
    const IServerSettings& m_settings;
    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    TSock* m_sock;
    ConversationLimits m_limits;
};
