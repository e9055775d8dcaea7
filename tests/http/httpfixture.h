#pragma once

#include "http/httpfrontend.h"
#include "tests/http/fakeserver.h"

#include <QByteArray>
#include <QStringList>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

// What curl got: its exit code, the status and the body.
struct CurlReply
{
    int exitCode = -1;
    int status = 0;
    QByteArray body;
    QByteArray output; // curl's own messages
};

// The front end listening on 127.0.0.1 against a FakeServer, with a short stall time so a test
// need not wait 30 seconds, and the clients to drive it: curl run while the event loop serves
// the requests, and raw sockets from any 127.0.0.x address.
class HttpFixture : public ::testing::Test
{
public:
    // Runs an external program to its end while serving; its exit code, -1 when it did not
    // end normally within the safety limit.
    static int runProgram(const QString& program, const QStringList& arguments,
                          QByteArray* output = nullptr, const QByteArray& input = {});

protected:
    static constexpr int StallMs = 1500;

    void SetUp() override;
    void TearDown() override;

    // Restarts the front end with these limits.
    void restart(const HttpLimits& limits);

    QString url(const QString& path) const;
    // Runs curl with `arguments` and the URL of `path` (and -s -S), serving meanwhile. A
    // token, when given, goes in the Authorization header.
    CurlReply curl(const QString& path, const QStringList& arguments = {});
    CurlReply postJson(const QString& path, const QByteArray& json,
                       const QStringList& arguments = {});
    // Starts curl without waiting for it.
    std::unique_ptr<class QProcess> startCurl(const QString& path, const QStringList& arguments);
    static CurlReply finishCurl(QProcess& process);

    // A raw client connected from `from`, once the connection is made.
    std::unique_ptr<QTcpSocket> connectFrom(const char* from = "127.0.0.1");
    // Everything until the server closes; empty when it did not close within `ms`.
    static QByteArray readUntilClosed(QTcpSocket& socket, int ms = 10000);

    FakeServer server;
    std::unique_ptr<HttpFrontEnd> http;
    HttpLimits limits;
};
