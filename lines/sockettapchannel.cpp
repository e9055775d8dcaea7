#include "lines/sockettapchannel.h"

#include "lines/carrierconnection.h"
#include "serial/replymatcher.h"

#include <utility>

SocketTapChannel::SocketTapChannel(CarrierConnection& connection) : m_connection(connection) {}

bool SocketTapChannel::isOpen() const
{
    return m_connection.isOpen();
}

bool SocketTapChannel::aborted() const
{
    return m_connection.aborted();
}

void SocketTapChannel::setAborted()
{
    m_connection.setAborted();
}

bool SocketTapChannel::write(const QByteArray& bytes)
{
    return m_connection.write(bytes);
}

int SocketTapChannel::waitForReply(const QByteArray& alternatives, int timeOutSeconds)
{
    ReplyMatcher matcher(alternatives);
    int result = -1;
    // Bytes that came after a completed reply are kept for the next wait, so a terminal's next
    // answer is not lost when it arrives together with this one.
    const auto matched = [&] {
        const QByteArray chunk = std::exchange(m_pending, {}) + m_connection.takeReceived();
        int used = 0;
        result = matcher.feed(chunk.constData(), static_cast<int>(chunk.size()), &used);
        if (result >= 0)
            m_pending = chunk.mid(used);
        return result >= 0;
    };
    m_connection.waitFor(timeOutSeconds, matched);
    return result;
}

void SocketTapChannel::close()
{
    m_connection.close();
}

const Pacing& SocketTapChannel::pacing() const
{
    return m_connection.pacing();
}
