#include "paging/serialtapchannel.h"

#include "paging/tomxpage.h"

SerialTapChannel::SerialTapChannel(TOMXPage& port) : m_port(port) {}

bool SerialTapChannel::isOpen() const
{
    return m_port.PortOpen();
}

bool SerialTapChannel::aborted() const
{
    return m_port.Aborted();
}

void SerialTapChannel::setAborted()
{
    m_port.setAborted(true);
}

bool SerialTapChannel::write(const QByteArray& bytes)
{
    return m_port.SendString(bytes);
}

int SerialTapChannel::waitForReply(const QByteArray& alternatives, int timeOutSeconds)
{
    return m_port.WaitForReply(alternatives, timeOutSeconds);
}

void SerialTapChannel::close()
{
    m_port.ClosePort();
}

bool SerialTapChannel::sevenBitLine() const
{
    return m_port.ComPortDataBits() >= db5BITS && m_port.ComPortDataBits() <= db7BITS;
}

const Pacing& SerialTapChannel::pacing() const
{
    return m_port.pacing();
}
