#include "core/peraddresslimit.h"

#include <utility>

// The places held, by address and claim; shared with the claims so that a claim that outlives
// its limit releases nothing.
struct PerAddressLimit::Claim::State
{
    quint64 nextId = 1;
    QHash<QByteArray, QHash<quint64, std::function<bool()>>> places;
};

PerAddressLimit::PerAddressLimit(int maxPerAddress)
    : m_max(maxPerAddress), m_state(std::make_shared<Claim::State>())
{
}

PerAddressLimit::~PerAddressLimit() = default;

int PerAddressLimit::held(const QByteArray& address) const
{
    const auto found = m_state->places.constFind(address);
    if (found == m_state->places.cend())
        return 0;
    int count = 0;
    for (const std::function<bool()>& counts : *found)
        count += !counts || counts() ? 1 : 0;
    return count;
}

std::optional<PerAddressLimit::Claim> PerAddressLimit::claim(const QByteArray& address,
                                                             std::function<bool()> counts)
{
    if (!admits(address))
        return std::nullopt;
    const quint64 id = m_state->nextId++;
    m_state->places[address].insert(id, std::move(counts));
    return Claim(m_state, id, address);
}

PerAddressLimit::Claim::Claim(std::weak_ptr<State> state, quint64 id, QByteArray address)
    : m_state(std::move(state)), m_id(id), m_address(std::move(address))
{
}

PerAddressLimit::Claim::Claim(Claim&& other) noexcept
    : m_state(std::exchange(other.m_state, {})), m_id(std::exchange(other.m_id, 0)),
      m_address(std::move(other.m_address))
{
}

PerAddressLimit::Claim& PerAddressLimit::Claim::operator=(Claim&& other) noexcept
{
    if (this != &other) {
        release();
        m_state = std::exchange(other.m_state, {});
        m_id = std::exchange(other.m_id, 0);
        m_address = std::move(other.m_address);
    }
    return *this;
}

PerAddressLimit::Claim::~Claim()
{
    release();
}

void PerAddressLimit::Claim::release()
{
    const std::shared_ptr<State> state = m_state.lock();
    m_state.reset();
    if (!state)
        return;
    const auto found = state->places.find(m_address);
    if (found == state->places.end())
        return;
    found->remove(m_id);
    if (found->isEmpty())
        state->places.erase(found);
}
