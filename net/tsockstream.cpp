#include "net/tsockstream.h"

#include "net/tsock.h"

QByteArray TSockStream::Read(int count)
{
    return m_sock.ReceiveCount(count);
}

qint64 TSockStream::Write(const QByteArray& bytes)
{
    m_sock.Send(bytes);
    return bytes.size();
}

qint64 TSockStream::Seek(qint64 /*offset*/, int /*origin*/)
{
    return 0;
}
