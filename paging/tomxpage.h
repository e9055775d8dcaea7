#pragma once

#include "paging/epageerror.h"
#include "paging/ipagingline.h"
#include "paging/serialtapchannel.h"
#include "paging/tapsession.h"
#include "serial/tomxcom32.h"

#include <QByteArray>

enum TDialMethod : int { dmTone, dmPulse };

// The paging engine: a Hayes-command modem on the COM port and, through it, a paging
// company's terminal spoken to in TAP. One Connect per company (initialise the modem, dial,
// log on), one SendPage per message, one Disconnect to hang up. Every step is reported through
// OnPageProgress; failures raise EPageError. Disconnect is also the cancel: called from the
// window while the engine waits, it makes the running Connect or SendPage return false quietly.
// After CONNECT the TAP exchange itself (TapSession) runs over the port.
class TOMXPage final : public TOMXCom32, public IPagingLine
{
    Q_OBJECT

public:
    using ProgressHandler = IPagingLine::ProgressHandler;

    explicit TOMXPage(QObject* parent = nullptr);
    ~TOMXPage() override;

    // The paging company's access number, dialled unchanged.
    QByteArray Provider() const { return m_provider; }
    void setProvider(const QByteArray& provider) override { m_provider = provider; }
    TDialMethod DialMethod() const { return m_dialMethod; }
    void setDialMethod(TDialMethod method) { m_dialMethod = method; }
    // Pager ID of the message in hand; SendPage sets it. Connect refuses to start without one.
    QByteArray PinNumber() const { return m_pinNumber; }
    void setPinNumber(const QByteArray& pin) { m_pinNumber = pin; }
    // Sent before dialing; empty means no initialisation.
    QByteArray InitString() const { return m_initString; }
    void setInitString(const QByteArray& init) { m_initString = init; }
    // The company's message length, which decides how a message is split into blocks.
    qint32 MsgLength() const { return m_msgLength; }
    void setMsgLength(qint32 length) override { m_msgLength = length; }
    QByteArray Message() const { return m_message; }
    void setMessage(const QByteArray& message) { m_message = message; }
    // The TAP log-on password; empty means none.
    QByteArray Password() const { return m_password; }
    void setPassword(const QByteArray& password) override { m_password = password; }

    void setOnPageProgress(ProgressHandler handler) override
    {
        m_onPageProgress = std::move(handler);
    }
    const Pacing& pacing() const override { return TOMXCom32::pacing(); }

    // True: logged on, the port open for SendPage. False: cancelled. Raises EPageError on any
    // other failure, with the port closed.
    bool Connect() override;
    // False when the port is not open (nothing sent) or the call was cancelled. An empty pin
    // raises "No Pin Number!" and leaves PinNumber and the call as they were.
    bool SendPage(const QByteArray& pin, const QByteArray& text) override;
    bool TransmitMessage();
    // Ends the call (ESC EOT CR, then the port is closed, which drops DTR). Always false: the
    // port is closed afterwards.
    bool Disconnect() override;

    // "COM1" to "COM4".
    QByteArray lineName() const override;
    bool inCall() const override { return PortOpen(); }
    void hangUp() override { ClosePort(); }
    bool pausesAfterHangUp() const override { return true; }

    static QByteArray BlockChecksum(const QByteArray& block);

    static constexpr int kMaxBlockSends = TapSession::kMaxBlockSends;
    static constexpr int kMaxLogonAttempts = TapSession::kMaxLogonAttempts;

private:
    // The serial channel sets Aborted when the exchange ends the call.
    friend class SerialTapChannel;

    void progress(const QByteArray& text);

    QByteArray m_provider;
    TDialMethod m_dialMethod = dmTone;
    QByteArray m_pinNumber;
    QByteArray m_initString = "ATZ";
    qint32 m_msgLength = 140;
    QByteArray m_message;
    QByteArray m_password;
    ProgressHandler m_onPageProgress;
    SerialTapChannel m_channel;
    TapSession m_session;
};
