#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

class QTcpServer;
class QTcpSocket;

// A carrier's WCTP web service on 127.0.0.1, answering from the test's event loop: it reads
// each request whole (head and Content-Length body), keeps it, answers with the next scripted
// reply (a wctp-Confirmation with success when the script is used up) and closes.
class WctpEndpoint final : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray head; // request line and headers
        QByteArray body;
    };

    explicit WctpEndpoint(QObject* parent = nullptr);

    bool isListening() const;
    quint16 port() const;

    // Whole HTTP responses, as sent.
    void queueReplies(const QList<QByteArray>& replies) { m_replies += replies; }
    static QByteArray httpResponse(int status, const QByteArray& reason, const QByteArray& body);
    static QByteArray success();
    static QByteArray failure(int code, const QByteArray& text);

    // Off: requests are taken and kept, and never answered.
    void setAnswering(bool on) { m_answering = on; }

    const QList<Request>& requests() const { return m_requests; }

private:
    void accept();
    void read(QTcpSocket* socket);

    QTcpServer* m_server;
    QList<QByteArray> m_replies;
    QList<Request> m_requests;
    bool m_answering = true;
};
