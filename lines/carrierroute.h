#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Where a routed company's pages go instead of through a modem: a carrier's TAP port, plain or
// over TLS, or its WCTP web service over HTTP or HTTPS. Written as a URL:
//
//   tap://host:port                   TAP over TCP
//   tap+tls://host:port[?ca=FILE]     TAP over TLS
//   wctp+http://host[:port]/path      WCTP over HTTP (port 80 unless given)
//   wctp+https://host[:port]/path     WCTP over HTTPS (port 443 unless given)
//
// TLS checks the carrier's certificate against the system's CAs and, for a carrier with a CA of
// its own, the certificates of FILE (a PEM file), and checks that it names the host. A WCTP
// route may name the sender ID its requests carry with ?sender=ID.
class CarrierRoute final
{
public:
    enum class Protocol { Tap, Wctp };

    // The route a URL describes, or nothing with the reason in `problem`.
    static std::optional<CarrierRoute> parse(QByteArrayView url, QByteArray* problem = nullptr);

    Protocol protocol() const { return m_protocol; }
    bool tls() const { return m_tls; }
    const QString& host() const { return m_host; }
    quint16 port() const { return m_port; }
    // WCTP: the path requests are posted to ("/" at least).
    const QByteArray& path() const { return m_path; }
    // TLS: a CA file trusted for this carrier besides the system's, or empty.
    const QString& caFile() const { return m_caFile; }
    // WCTP: the sender ID of the requests, or empty for the default.
    const QByteArray& senderId() const { return m_senderId; }
    // How the line is named in logs: the URL without its query ("tap+tls://host:18101").
    const QByteArray& name() const { return m_name; }

private:
    CarrierRoute() = default;

    Protocol m_protocol = Protocol::Tap;
    bool m_tls = false;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_path;
    QString m_caFile;
    QByteArray m_senderId;
    QByteArray m_name;
};
