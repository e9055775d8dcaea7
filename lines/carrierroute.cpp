#include "lines/carrierroute.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

struct Scheme
{
    const char* name;
    CarrierRoute::Protocol protocol;
    bool tls;
    int defaultPort; // -1: the URL must give one
};

constexpr Scheme kSchemes[] = {
    {"tap", CarrierRoute::Protocol::Tap, false, -1},
    {"tap+tls", CarrierRoute::Protocol::Tap, true, -1},
    {"wctp+http", CarrierRoute::Protocol::Wctp, false, 80},
    {"wctp+https", CarrierRoute::Protocol::Wctp, true, 443},
};

std::optional<CarrierRoute> refuse(QByteArray* problem, const QByteArray& why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}

} // namespace

std::optional<CarrierRoute> CarrierRoute::parse(QByteArrayView url, QByteArray* problem)
{
    const QByteArray text = url.trimmed().toByteArray();
    if (text.isEmpty())
        return refuse(problem, "no URL");
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) >= 0x7F)
            return refuse(problem, "a URL holds no blanks, control characters or 8-bit bytes");
    }
    const QUrl parsed(QString::fromLatin1(text), QUrl::StrictMode);
    if (!parsed.isValid())
        return refuse(problem, "not a URL (" + parsed.errorString().toLatin1() + ")");

    const QByteArray schemeName = parsed.scheme().toLatin1().toLower();
    const Scheme* scheme = nullptr;
    for (const Scheme& candidate : kSchemes) {
        if (schemeName == candidate.name)
            scheme = &candidate;
    }
    if (!scheme)
        return refuse(problem, "unknown scheme \"" + schemeName +
                                   "\" (tap, tap+tls, wctp+http or wctp+https)");

    CarrierRoute route;
    route.m_protocol = scheme->protocol;
    route.m_tls = scheme->tls;
    route.m_host = parsed.host();
    if (route.m_host.isEmpty())
        return refuse(problem, "no host");
    if (!parsed.userInfo().isEmpty())
        return refuse(problem, "a user or password in the URL is not used (the company's "
                               "password is)");
    if (parsed.hasFragment())
        return refuse(problem, "a URL with a fragment (#...)");
    const int port = parsed.port(scheme->defaultPort);
    if (port <= 0)
        return refuse(problem, "no port (" + schemeName + "://host:port)");
    route.m_port = static_cast<quint16>(port);

    const QByteArray path = parsed.path(QUrl::FullyEncoded).toLatin1();
    if (route.m_protocol == Protocol::Tap) {
        if (!path.isEmpty() && path != "/")
            return refuse(problem, "a TAP route has no path");
    } else {
        route.m_path = path.isEmpty() ? QByteArray("/") : path;
    }

    const QUrlQuery query(parsed);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QStringLiteral("ca") && route.m_tls && route.m_caFile.isEmpty() &&
            !value.isEmpty()) {
            route.m_caFile = value;
        } else if (key == QStringLiteral("sender") && route.m_protocol == Protocol::Wctp &&
                   route.m_senderId.isEmpty() && !value.isEmpty()) {
            route.m_senderId = value.toLatin1();
        } else {
            return refuse(problem, "\"" + key.toLatin1() +
                                       "\" is not an option of this scheme (ca= for a TLS "
                                       "route, sender= for WCTP, each once and not empty)");
        }
    }

    route.m_name = parsed.toString(QUrl::RemoveQuery | QUrl::FullyEncoded).toLatin1();
    return route;
}
