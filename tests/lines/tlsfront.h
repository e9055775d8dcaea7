#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A TLS front on 127.0.0.1: socat takes TLS on a port of its own and passes the plain bytes to
// a local port behind it (a scripted terminal, a WCTP endpoint). Its certificate is issued for
// "localhost" by a CA the fixture makes with openssl; the CA's file is caFile().
class TlsFront final
{
public:
    TlsFront();
    ~TlsFront();
    TlsFront(const TlsFront&) = delete;
    TlsFront& operator=(const TlsFront&) = delete;

    // Makes the CA and the certificate. False, with why(), when openssl failed.
    bool makeCertificates();
    // Starts socat in front of `backendPort`. False, with why(), when it does not listen.
    bool start(quint16 backendPort);
    void stop();

    quint16 port() const { return m_port; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // A CA of its own that issued nothing the front shows.
    QString otherCaFile() const { return m_dir.filePath(QStringLiteral("other-ca.pem")); }
    const QByteArray& why() const { return m_why; }

private:
    bool openssl(const QStringList& arguments);

    QTemporaryDir m_dir;
    QProcess m_socat;
    quint16 m_port = 0;
    QByteArray m_why;
};
