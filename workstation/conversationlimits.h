#pragma once

#include "core/peraddresslimit.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QPointer>

#include <optional>

class TSock;

// How many workstation conversations a listener runs at once. They run nested on the one thread,
// each inside a wait of the one before, so their number is bounded: at the nesting bound the
// listener stops accepting, and new connections wait in its backlog until an inner conversation
// ends. One peer address may hold only MaxPerAddress live ones (counted by a PerAddressLimit), so
// that a single workstation cannot fill the stack and keep every other one waiting; a further
// connection from that address is turned away by the caller. A conversation whose client has
// gone counts no more: it may still wait on the stack for the newer ones above it to end, which
// a client that connects again at once must not be charged for.
//
// A conversation holds every one beneath it until it ends, so one that has said nothing may not
// hold them long: its first command must come within FirstCommandMs of the accept (a workstation
// sends "HELO" at once), or the connection is closed. A connection accepted while the newest
// conversation still waits for its first command gets no longer than that one: silent
// connections arriving one after another would otherwise add up their times and hold the
// conversations beneath them without end. Once a conversation has had its first command, the
// protocol's own idle limits hold.
class ConversationLimits final
{
public:
    static constexpr int DefaultMaxNesting = 64;
    static constexpr int MaxPerAddress = 8;
    // Nominal; scaled by the client connection's Pacing.
    static constexpr int FirstCommandMs = 5000;

    // One running conversation, counted on the stack and, through its place, for its peer
    // address for as long as the object lives, however the conversation ends. Pauses the
    // listener while the stack is at its bound. The limits must outlive it.
    class Slot final
    {
    public:
        Slot(ConversationLimits& limits, TSock& listener, TSock& client,
             PerAddressLimit::Claim place);
        ~Slot();
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        // Closes its client: the conversation's waits end and it unwinds.
        void closeClient();

        // The latest moment for the conversation's first command.
        const QDeadlineTimer& firstCommandBy() const { return m_firstCommandBy; }
        // The first command has arrived: connections accepted from now on get their own time.
        void firstCommandReceived() { m_awaitingFirstCommand = false; }

    private:
        ConversationLimits& m_limits;
        QPointer<TSock> m_listener;
        QPointer<TSock> m_client;
        PerAddressLimit::Claim m_place;
        QDeadlineTimer m_firstCommandBy;
        bool m_awaitingFirstCommand = true;
    };

    // A place for a conversation with `client`, counted for its address while the client is
    // connected; nothing when the address holds MaxPerAddress live ones already.
    std::optional<PerAddressLimit::Claim> claimPlace(TSock& client);

    void setMaxNesting(int conversations);
    int maxNesting() const { return m_maxNesting; }
    // Conversations running at this moment (nested on the stack).
    int nesting() const { return m_nesting; }
    // Closes the clients of all running conversations, so that each ends at its next wait.
    void closeAll();

private:
    int m_nesting = 0;
    int m_maxNesting = DefaultMaxNesting;
    // The running conversations, oldest first.
    QList<Slot*> m_slots;
    PerAddressLimit m_perAddress{MaxPerAddress};
};
