#pragma once

#include "paging/tapchannel.h"

class TOMXPage;

// The engine's own serial port as the line of its TAP exchange, once the modem has connected:
// writes, waits and the close go to the port unchanged.
class SerialTapChannel final : public TapChannel
{
public:
    explicit SerialTapChannel(TOMXPage& port);

    bool isOpen() const override;
    bool aborted() const override;
    void setAborted() override;
    bool write(const QByteArray& bytes) override;
    int waitForReply(const QByteArray& alternatives, int timeOutSeconds) override;
    void close() override;
    // 5, 6 or 7 data bits.
    bool sevenBitLine() const override;
    const Pacing& pacing() const override;

private:
    TOMXPage& m_port;
};
