#pragma once

#include "lines/carrierroute.h"
#include "paging/ipagingline.h"

#include <QObject>

class CarrierConnection;
class HttpResponse;

// A carrier's WCTP web service as a line: each message is one wctp-SubmitRequest posted over
// HTTP or HTTPS (TLS checked as for TAP), with the company's password as security code when it
// has one, the pager ID as recipient and the page as alphanumeric payload. The carrier's
// wctp-Confirmation decides: success is a delivered message, failure a refused one (EPageError
// with the carrier's code and text, the fate of a pager ID a terminal rejects). An HTTP or
// network failure leaves the message unsent (ELineLost). There is no call to set up: Connect
// only checks that there is a company.
//
// Lives on the thread that creates it; moved to another before its first message, it takes its
// connection along.
class WctpLine final : public QObject, public IPagingLine
{
    Q_OBJECT

public:
    // The sender ID of requests whose route names none.
    static inline const QByteArray DefaultSenderId = "ZelkorServer";

    explicit WctpLine(const CarrierRoute& route, QObject* parent = nullptr);
    ~WctpLine() override;

    void setPacing(const Pacing& pacing);

    QByteArray lineName() const override { return m_route.name(); }
    void setProvider(const QByteArray& provider) override { m_provider = provider; }
    void setPassword(const QByteArray& password) override { m_password = password; }
    // WCTP takes the page whole; the carrier refuses what is too long for it.
    void setMsgLength(qint32) override {}
    void setOnPageProgress(ProgressHandler handler) override;
    const Pacing& pacing() const override;

    bool Connect() override;
    // True: the carrier confirmed the message. False: no call, or cancelled meanwhile.
    bool SendPage(const QByteArray& pin, const QByteArray& text) override;
    bool Disconnect() override;
    bool inCall() const override { return m_callUp; }
    void hangUp() override;
    bool pausesAfterHangUp() const override { return false; }

private:
    // The request as posted, head and body.
    QByteArray request(const QByteArray& pin, const QByteArray& text) const;
    void progress(const QByteArray& text);
    // The response to one request; raises ELineLost when there is none to go by.
    bool post(const QByteArray& request, HttpResponse& response);
    [[noreturn]] void notSent(const QByteArray& why);

    CarrierRoute m_route;
    CarrierConnection* m_connection;
    ProgressHandler m_onPageProgress;
    QByteArray m_provider;
    QByteArray m_password;
    bool m_callUp = false;
    quint32 m_sequence = 0;
};
