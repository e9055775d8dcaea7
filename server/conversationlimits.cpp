#include "server/conversationlimits.h"

#include "net/tsock.h"

#include <QHash>

namespace {

int s_nesting = 0;
int s_maxNesting = ConversationLimits::DefaultMaxNesting;
QHash<QByteArray, int> s_perAddress;

} // namespace

ConversationLimits::Slot::Slot(TSock& listener, const QByteArray& address)
    : m_listener(&listener), m_address(address)
{
    ++s_perAddress[m_address];
    if (++s_nesting >= s_maxNesting)
        listener.setAcceptPaused(true);
}

ConversationLimits::Slot::~Slot()
{
    if (--s_perAddress[m_address] <= 0)
        s_perAddress.remove(m_address);
    // Accepting resumes once a conversation at the bound has ended.
    if (s_nesting-- >= s_maxNesting && m_listener)
        m_listener->setAcceptPaused(false);
}

bool ConversationLimits::admits(const QByteArray& address)
{
    return running(address) < MaxPerAddress;
}

int ConversationLimits::running(const QByteArray& address)
{
    return s_perAddress.value(address);
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
