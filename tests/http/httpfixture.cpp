#include "tests/http/httpfixture.h"

#include "http/httpgate.h"
#include "tests/support/loopbackclient.h"

#include <QProcess>

namespace {

constexpr int SafetySeconds = 60;

} // namespace

void HttpFixture::SetUp()
{
    limits.stallMilliseconds = StallMs;
    limits.closingMilliseconds = 2000;
    restart(limits);
}

void HttpFixture::TearDown()
{
    http.reset();
}

void HttpFixture::restart(const HttpLimits& newLimits)
{
    limits = newLimits;
    http.reset();
    http = std::make_unique<HttpFrontEnd>(server, server, server, server, limits);
    const std::optional<QString> failed = http->listen(0, QHostAddress::LocalHost);
    ASSERT_FALSE(failed) << failed->toStdString();
}

QString HttpFixture::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(http->port()).arg(path);
}

std::unique_ptr<QProcess> HttpFixture::startCurl(const QString& path, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->start(QStringLiteral("curl"),
                   QStringList{QStringLiteral("-s"), QStringLiteral("-S"),
                               QStringLiteral("--max-time"), QStringLiteral("30"),
                               QStringLiteral("-w"), QStringLiteral("\n%{http_code}")} +
                       arguments + QStringList{url(path)});
    return process;
}

CurlReply HttpFixture::finishCurl(QProcess& process)
{
    waitFor([&process] { return process.state() == QProcess::NotRunning; }, SafetySeconds);
    CurlReply reply;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return reply;
    }
    reply.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QByteArray out = process.readAllStandardOutput();
    const qsizetype end = out.lastIndexOf('\n');
    reply.body = out.left(qMax<qsizetype>(end, 0));
    reply.status = out.mid(end + 1).toInt();
    reply.output = process.readAllStandardError();
    return reply;
}

CurlReply HttpFixture::curl(const QString& path, const QStringList& arguments)
{
    std::unique_ptr<QProcess> process = startCurl(path, arguments);
    return finishCurl(*process);
}

CurlReply HttpFixture::postJson(const QString& path, const QByteArray& json,
                                const QStringList& arguments)
{
    return curl(path,
                QStringList{QStringLiteral("-H"), QStringLiteral("Content-Type: application/json"),
                            QStringLiteral("--data-binary"), QString::fromUtf8(json)} +
                    arguments);
}

std::unique_ptr<QTcpSocket> HttpFixture::connectFrom(const char* from)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QString::fromLatin1(from)));
    socket->connectToHost(QHostAddress::LocalHost, http->port());
    waitFor(
        [&] {
            return socket->state() == QAbstractSocket::ConnectedState ||
                   socket->state() == QAbstractSocket::UnconnectedState;
        },
        SafetySeconds);
    return socket;
}

QByteArray HttpFixture::readUntilClosed(QTcpSocket& socket, int ms)
{
    QByteArray got;
    const bool closed = waitFor(
        [&] {
            got += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        (ms + 999) / 1000);
    got += socket.readAll();
    return closed ? got : QByteArray();
}

int HttpFixture::runProgram(const QString& program, const QStringList& arguments,
                            QByteArray* output, const QByteArray& input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    waitFor([&process] { return process.state() == QProcess::NotRunning; }, SafetySeconds * 2);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit &&
                   process.error() != QProcess::FailedToStart
               ? process.exitCode()
               : -1;
}
