#include "workstation/conversationlimits.h"

#include "foundation/pacing.h"
#include "net/tsock.h"

ConversationLimits::Slot::Slot(ConversationLimits& limits, TSock& listener, TSock& client,
                               PerAddressLimit::Claim place)
    : m_limits(limits), m_listener(&listener), m_client(&client), m_place(std::move(place)),
      m_firstCommandBy(client.pacing().scaled(FirstCommandMs), Qt::PreciseTimer)
{
    // Accepted inside the wait of the newest conversation, which still waits for its first.
    if (!m_limits.m_slots.isEmpty()) {
        const Slot* beneath = m_limits.m_slots.last();
        if (beneath->m_awaitingFirstCommand && beneath->m_firstCommandBy < m_firstCommandBy)
            m_firstCommandBy = beneath->m_firstCommandBy;
    }
    m_limits.m_slots.append(this);
    if (++m_limits.m_nesting >= m_limits.m_maxNesting)
        listener.setAcceptPaused(true);
}

ConversationLimits::Slot::~Slot()
{
    m_limits.m_slots.removeOne(this);
    // Accepting resumes once a conversation at the bound has ended.
    if (m_limits.m_nesting-- >= m_limits.m_maxNesting && m_listener)
        m_listener->setAcceptPaused(false);
}

void ConversationLimits::Slot::closeClient()
{
    if (m_client)
        m_client->Close();
}

void ConversationLimits::closeAll()
{
    // A copy: closing a client may end its conversation and remove its slot meanwhile.
    const QList<Slot*> running = m_slots;
    for (Slot* slot : running) {
        if (m_slots.contains(slot))
            slot->closeClient();
    }
}

std::optional<PerAddressLimit::Claim> ConversationLimits::claimPlace(TSock& client)
{
    // A reset connection still reports connected; its conversation is as good as over.
    return m_perAddress.claim(client.HostName(), [sock = QPointer<TSock>(&client)] {
        return sock && sock->Connected() && !sock->PeerGone();
    });
}

void ConversationLimits::setMaxNesting(int conversations)
{
    m_maxNesting = conversations > 0 ? conversations : 1;
}
