#include "tests/lines/tlsfront.h"

#include "foundation/ttimecounter.h"
#include "tests/support/freeport.h"

#include <QFile>

namespace {

// Elliptic-curve keys: made in milliseconds, where RSA keys would take a while.
const QStringList kNewKey = {
    QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

} // namespace

TlsFront::TlsFront() = default;

TlsFront::~TlsFront()
{
    stop();
}

bool TlsFront::openssl(const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_why = "openssl " + arguments.join(QLatin1Char(' ')).toLatin1() + ": " +
                process.readAllStandardError();
        return false;
    }
    return true;
}

bool TlsFront::makeCertificates()
{
    const QString days = QStringLiteral("2");
    QFile extensions(m_dir.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly) ||
        extensions.write("subjectAltName=DNS:localhost\n"
                         "basicConstraints=CA:FALSE\n"
                         "extendedKeyUsage=serverAuth\n") < 0)
        return false;
    extensions.close();
    return openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
                   QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"),
                               QStringLiteral("-out"), QStringLiteral("ca.pem"),
                               QStringLiteral("-subj"), QStringLiteral("/CN=Zelkor Test CA"),
                               QStringLiteral("-days"), days}) &&
           openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
                   QStringList{QStringLiteral("-keyout"), QStringLiteral("other-ca.key"),
                               QStringLiteral("-out"), QStringLiteral("other-ca.pem"),
                               QStringLiteral("-subj"), QStringLiteral("/CN=Another CA"),
                               QStringLiteral("-days"), days}) &&
           openssl(QStringList{QStringLiteral("req"), QStringLiteral("-new")} + kNewKey +
                   QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"),
                               QStringLiteral("-out"), QStringLiteral("server.csr"),
                               QStringLiteral("-subj"), QStringLiteral("/CN=localhost")}) &&
           openssl(QStringList{QStringLiteral("x509"), QStringLiteral("-req"),
                               QStringLiteral("-in"), QStringLiteral("server.csr"),
                               QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                               QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                               QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                               QStringLiteral("server.pem"), QStringLiteral("-days"), days,
                               QStringLiteral("-extfile"), QStringLiteral("server.ext")});
}

bool TlsFront::start(quint16 backendPort)
{
    stop();
    m_port = static_cast<quint16>(freeLoopbackPort().toUInt());
    const QString listen =
        QStringLiteral("OPENSSL-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork,cert=%2,key=%3,verify=0")
            .arg(m_port)
            .arg(m_dir.filePath(QStringLiteral("server.pem")),
                 m_dir.filePath(QStringLiteral("server.key")));
    const QString backend = QStringLiteral("TCP:127.0.0.1:%1").arg(backendPort);
    m_socat.setProcessChannelMode(QProcess::SeparateChannels);
    m_socat.start(QStringLiteral("socat"),
                  {QStringLiteral("-d"), QStringLiteral("-d"), listen, backend});
    if (!m_socat.waitForStarted(10000)) {
        m_why = "socat does not start: " + m_socat.errorString().toLatin1();
        return false;
    }
    // socat says so once it listens.
    QByteArray said;
    TTimeCounter counter;
    counter.setTimeOut(10);
    counter.Start();
    const bool listening = waitUntil(counter, [&] {
        said += m_socat.readAllStandardError();
        return said.contains("listening on") || m_socat.state() == QProcess::NotRunning;
    });
    if (!listening || !said.contains("listening on")) {
        m_why = "socat does not listen: " + said;
        return false;
    }
    return true;
}

void TlsFront::stop()
{
    if (m_socat.state() == QProcess::NotRunning)
        return;
    m_socat.terminate();
    if (!m_socat.waitForFinished(5000)) {
        m_socat.kill();
        m_socat.waitForFinished(5000);
    }
}
