#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

// A cache of host name lookups. A name goes to the resolver once for the life of the cache
// (names compared without regard to letter case); later lookups are answered from the cache.
// Entries are never removed, and a failed lookup adds nothing. Sockets share the process's cache
// over the platform's resolver unless they are given another (tests script the lookups so).
class HostCache final
{
public:
    // An IPv4 address in network byte order, or nothing when the name has no address.
    using Resolver = std::function<std::optional<quint32>(const QByteArray& name)>;

    explicit HostCache(Resolver resolver = &HostCache::systemResolve);

    // The process's cache over the platform's resolver, which nothing can replace.
    static HostCache& shared();

    // The cached address, else the resolver's answer (which is then cached).
    std::optional<quint32> resolve(const QByteArray& name);
    std::optional<quint32> find(const QByteArray& name) const;
    qsizetype size() const { return m_entries.size(); }

    // The platform's resolver: the first IPv4 address of the name.
    static std::optional<quint32> systemResolve(const QByteArray& name);

private:
    struct Entry
    {
        QByteArray name;
        quint32 address;
    };
    QList<Entry> m_entries;
    Resolver m_resolver;
};
