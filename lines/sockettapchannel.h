#pragma once

#include "paging/tapchannel.h"

#include <QByteArray>

class CarrierConnection;

// A carrier's TCP or TLS connection as the line of a TAP exchange: the exchange's bytes go over
// it as they would after a modem's CONNECT. A connection the carrier ends closes the line: the
// wait in hand returns at once instead of running out its time.
class SocketTapChannel final : public TapChannel
{
public:
    explicit SocketTapChannel(CarrierConnection& connection);

    bool isOpen() const override;
    bool aborted() const override;
    void setAborted() override;
    bool write(const QByteArray& bytes) override;
    int waitForReply(const QByteArray& alternatives, int timeOutSeconds) override;
    void close() override;
    // A connection carries whole bytes.
    bool sevenBitLine() const override { return false; }
    const Pacing& pacing() const override;

    // Forgets bytes kept from the last wait (a new connection starts afresh).
    void reset() { m_pending.clear(); }

private:
    CarrierConnection& m_connection;
    QByteArray m_pending;
};
