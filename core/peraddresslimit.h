#pragma once

#include <QByteArray>
#include <QHash>

#include <functional>
#include <memory>
#include <optional>

// How many connections one peer address holds at once, for a front end that lets each address
// have only a few, so that a single client cannot take every place and keep all others waiting.
// Each front end keeps its own limit with its own number and turns the surplus away with its own
// reply; the counting is this one.
//
// A place is a Claim, held for as long as the claim lives and released however the connection
// ends. A claim may say when it stops counting before it is released: a workstation's
// conversation whose client has gone still waits on the stack beneath newer ones, and the
// address must not be charged for it.
class PerAddressLimit final
{
public:
    explicit PerAddressLimit(int maxPerAddress);
    ~PerAddressLimit();
    PerAddressLimit(const PerAddressLimit&) = delete;
    PerAddressLimit& operator=(const PerAddressLimit&) = delete;

    int max() const { return m_max; }
    // The places of `address` that count at this moment.
    int held(const QByteArray& address) const;
    bool admits(const QByteArray& address) const { return held(address) < m_max; }

    // One place of an address. Movable; released when it goes (also after its limit went).
    class Claim final
    {
    public:
        Claim(Claim&& other) noexcept;
        Claim& operator=(Claim&& other) noexcept;
        ~Claim();
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;

        const QByteArray& address() const { return m_address; }

    private:
        friend class PerAddressLimit;
        struct State;
        Claim(std::weak_ptr<State> state, quint64 id, QByteArray address);
        void release();

        std::weak_ptr<State> m_state;
        quint64 m_id = 0;
        QByteArray m_address;
    };

    // A place for `address`, or nothing when it holds max() places that count already.
    // `counts`, when given, is asked whenever the address's places are counted; once it says
    // false the place counts no more.
    std::optional<Claim> claim(const QByteArray& address, std::function<bool()> counts = {});

private:
    int m_max;
    std::shared_ptr<Claim::State> m_state;
};
