#pragma once

#include "lines/carrierroute.h"
#include "lines/sockettapchannel.h"
#include "paging/ipagingline.h"
#include "paging/tapsession.h"

#include <QObject>

class CarrierConnection;

// A paging terminal reached over TCP or TLS instead of through a modem: Connect opens the
// connection (and verifies the carrier, for TLS), then logs on exactly as after a modem's
// CONNECT; messages go as TAP blocks with their pauses, and Disconnect signs off and closes.
// No AT commands, and no pause for a modem after the close.
//
// Lives on the thread that creates it; moved to another before its first Connect, it takes its
// connection along.
class TapNetworkLine final : public QObject, public IPagingLine
{
    Q_OBJECT

public:
    explicit TapNetworkLine(const CarrierRoute& route, QObject* parent = nullptr);
    ~TapNetworkLine() override;

    void setPacing(const Pacing& pacing);

    QByteArray lineName() const override { return m_route.name(); }
    void setProvider(const QByteArray& provider) override { m_provider = provider; }
    void setPassword(const QByteArray& password) override { m_password = password; }
    void setMsgLength(qint32 length) override { m_msgLength = length; }
    void setOnPageProgress(ProgressHandler handler) override;
    const Pacing& pacing() const override;

    // True: logged on. False: cancelled. EPageError when the carrier cannot be reached (the
    // reason is reported first as "Connection Failed: ...") or the log-on failed.
    bool Connect() override;
    // The modem engine's results; and ELineLost when the carrier has ended the call before
    // the message (nothing of it was sent).
    bool SendPage(const QByteArray& pin, const QByteArray& text) override;
    bool Disconnect() override;
    bool inCall() const override;
    void hangUp() override;
    bool pausesAfterHangUp() const override { return false; }

private:
    void progress(const QByteArray& text);
    // The carrier ended the call it had accepted: the message in hand was not sent.
    [[noreturn]] void lineLost();

    CarrierRoute m_route;
    CarrierConnection* m_connection;
    SocketTapChannel m_channel;
    TapSession m_session;
    ProgressHandler m_onPageProgress;
    QByteArray m_provider;
    QByteArray m_password;
    qint32 m_msgLength = 80;
    bool m_callUp = false;
};
