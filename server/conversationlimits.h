#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>

class TSock;

// How many workstation conversations a listener runs at once. They run nested on the one thread,
// each inside a wait of the one before, so their number is bounded: at the nesting bound the
// listener stops accepting, and new connections wait in its backlog until an inner conversation
// ends. One peer address may hold only a few live ones, so that a single workstation cannot fill
// the stack and keep every other one waiting; a further connection from that address is turned
// away by the caller. A conversation whose client has gone counts no more: it may still wait on
// the stack for the newer ones above it to end, which a client that connects again at once must
// not be charged for.
class ConversationLimits final
{
public:
    static constexpr int DefaultMaxNesting = 64;
    static constexpr int MaxPerAddress = 8;

    // One running conversation, counted on the stack and for its peer address for as long as
    // the object lives, however the conversation ends. Pauses the listener while the stack is
    // at its bound. The limits must outlive it.
    class Slot final
    {
    public:
        Slot(ConversationLimits& limits, TSock& listener, TSock& client);
        ~Slot();
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        // Its client is still connected.
        bool live() const;
        const QByteArray& address() const { return m_address; }
        // Closes its client: the conversation's waits end and it unwinds.
        void closeClient();

    private:
        ConversationLimits& m_limits;
        QPointer<TSock> m_listener;
        QPointer<TSock> m_client;
        QByteArray m_address;
    };

    // Whether another conversation from `address` may start now.
    bool admits(const QByteArray& address) const;
    // Live conversations from `address` at this moment.
    int running(const QByteArray& address) const;

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
};
