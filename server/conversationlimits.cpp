#include "server/conversationlimits.h"

#include "net/tsock.h"

#include <QList>

namespace {

int s_nesting = 0;
int s_maxNesting = ConversationLimits::DefaultMaxNesting;
// The running conversations, oldest first.
QList<const ConversationLimits::Slot*> s_slots;

} // namespace

ConversationLimits::Slot::Slot(TSock& listener, TSock& client)
    : m_listener(&listener), m_client(&client), m_address(client.HostName())
{
    s_slots.append(this);
    if (++s_nesting >= s_maxNesting)
        listener.setAcceptPaused(true);
}

ConversationLimits::Slot::~Slot()
{
    s_slots.removeOne(this);
    // Accepting resumes once a conversation at the bound has ended.
    if (s_nesting-- >= s_maxNesting && m_listener)
        m_listener->setAcceptPaused(false);
}

bool ConversationLimits::Slot::live() const
{
    return m_client && m_client->Connected() && !m_client->PeerGone();
}

bool ConversationLimits::admits(const QByteArray& address)
{
    return running(address) < MaxPerAddress;
}

int ConversationLimits::running(const QByteArray& address)
{
    int count = 0;
    for (const Slot* slot : std::as_const(s_slots))
        count += slot->address() == address && slot->live() ? 1 : 0;
    return count;
}

void ConversationLimits::setMaxNesting(int conversations)
{
    s_maxNesting = conversations > 0 ? conversations : 1;
}

int ConversationLimits::maxNesting()
{
    return s_maxNesting;
}

int ConversationLimits::nesting()
{
    return s_nesting;
}
