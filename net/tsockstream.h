#pragma once

#include <QByteArray>

class TSock;

// A byte-stream view of a socket: reading takes what ReceiveCount gives, writing goes through
// Send, and the position is always 0 (a socket cannot seek).
class TSockStream final
{
public:
    explicit TSockStream(TSock& sock) : m_sock(sock) {}

    // Up to `count` bytes of what has arrived.
    QByteArray Read(int count);
    // The number of bytes handed to the socket.
    qint64 Write(const QByteArray& bytes);
    qint64 Seek(qint64 offset, int origin);

private:
    TSock& m_sock;
};
