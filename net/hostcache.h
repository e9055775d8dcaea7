#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

// The process-wide cache of host name lookups. A name goes to the platform's resolver once for
// the life of the process (names compared without regard to letter case); later lookups are
// answered from the cache. Entries are never removed, and a failed lookup adds nothing.
class HostCache final
{
public:
    // An IPv4 address in network byte order, or nothing when the name has no address.
    using Resolver = std::function<std::optional<quint32>(const QByteArray& name)>;

    static HostCache& instance();

    // The cached address, else the resolver's answer (which is then cached).
    std::optional<quint32> resolve(const QByteArray& name);
    std::optional<quint32> find(const QByteArray& name) const;
    qsizetype size() const { return m_entries.size(); }

    // Replaces the platform's resolver (tests count and script the lookups with this).
    void setResolver(Resolver resolver);

    // The platform's resolver: the first IPv4 address of the name.
    static std::optional<quint32> systemResolve(const QByteArray& name);

private:
    HostCache();

    struct Entry
    {
        QByteArray name;
        quint32 address;
    };
    QList<Entry> m_entries;
    Resolver m_resolver;
};
