#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The IPv4 addresses by which this host reaches itself, for callers that must not connect back
// to their own program. Addresses are in host byte order.
namespace HostAddresses {

// A dotted address of exactly four decimal parts of 0 to 255 ("10.1.2.3"); nothing for any
// other text, host names included (they are never looked up here).
std::optional<quint32> parseDotted(const QByteArray& text);

// 0.0.0.0/8: "this network", which the platform takes as this host.
bool isUnspecified(quint32 address);
bool isLoopback(quint32 address);

// "a.b.c.d" of an address in host byte order.
QByteArray dotted(quint32 address);

// The addresses of this host's network interfaces and the address its name resolves to.
QList<quint32> own();

} // namespace HostAddresses
