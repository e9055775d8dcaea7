#include "lines/httpresponse.h"

#include "foundation/convert.h"

#include <QList>

HttpResponse::State HttpResponse::feed(QByteArrayView bytes)
{
    if (m_state != State::Incomplete)
        return m_state;
    m_received += bytes.size();
    if (m_received > kLimit) {
        m_state = State::TooLarge;
        return m_state;
    }
    m_buffer += bytes;
    parse();
    return m_state;
}

HttpResponse::State HttpResponse::finish()
{
    if (m_state != State::Incomplete)
        return m_state;
    if (m_stage == Stage::Body && m_framing == Framing::UntilClose)
        complete();
    else
        malformed(m_stage == Stage::Head ? "the connection ended before the response"
                                         : "the connection ended inside the body");
    return m_state;
}

void HttpResponse::malformed(const QByteArray& why)
{
    m_state = State::Malformed;
    m_problem = why;
}

void HttpResponse::complete()
{
    m_stage = Stage::Done;
    m_state = State::Complete;
    m_buffer.clear();
}

bool HttpResponse::takeLine(QByteArray& line)
{
    const qsizetype end = m_buffer.indexOf('\n', qMax(m_read, m_scanned));
    if (end < 0) {
        // The next bytes are searched from here on, so a line that comes a byte at a time is
        // not searched from its start again and again.
        m_scanned = m_buffer.size();
        return false;
    }
    line = m_buffer.mid(m_read, end - m_read);
    if (line.endsWith('\r'))
        line.chop(1);
    m_read = end + 1;
    return true;
}

void HttpResponse::parse()
{
    while (m_state == State::Incomplete) {
        switch (m_stage) {
        case Stage::Head: {
            // The head ends with an empty line (CR LF or a bare LF).
            qsizetype end = -1;
            for (qsizetype at = m_buffer.indexOf('\n', qMax(m_read, m_scanned)); at >= 0;
                 at = m_buffer.indexOf('\n', at + 1)) {
                const qsizetype next = at + 1;
                if (next < m_buffer.size() && m_buffer.at(next) == '\n') {
                    end = next + 1;
                    break;
                }
                if (next + 1 < m_buffer.size() && m_buffer.at(next) == '\r' &&
                    m_buffer.at(next + 1) == '\n') {
                    end = next + 2;
                    break;
                }
            }
            if (end < 0) {
                // A line end among the last two bytes may yet turn out to end the head.
                m_scanned = qMax(m_read, m_buffer.size() - 2);
                return;
            }
            const QByteArrayView head = QByteArrayView(m_buffer).sliced(m_read, end - m_read);
            m_read = end;
            if (!parseHead(head))
                return;
            break;
        }
        case Stage::Body: {
            const qsizetype available = m_buffer.size() - m_read;
            if (m_framing == Framing::UntilClose) {
                m_body += QByteArrayView(m_buffer).sliced(m_read);
                m_read = m_buffer.size();
                return;
            }
            const qsizetype take = static_cast<qsizetype>(qMin<qint64>(available, m_remaining));
            m_body += QByteArrayView(m_buffer).sliced(m_read, take);
            m_read += take;
            m_remaining -= take;
            if (m_remaining == 0)
                complete();
            return;
        }
        case Stage::ChunkSize: {
            QByteArray line;
            if (!takeLine(line))
                return;
            const qsizetype extension = line.indexOf(';');
            const QByteArray size = (extension < 0 ? line : line.left(extension)).trimmed();
            bool ok = false;
            const qint64 length = size.toLongLong(&ok, 16);
            if (!ok || length < 0 || size.startsWith('+') || size.startsWith('-')) {
                malformed("a chunk size that is no hexadecimal number");
                return;
            }
            if (length > kLimit) {
                m_state = State::TooLarge;
                return;
            }
            m_remaining = length;
            m_stage = length == 0 ? Stage::Trailers : Stage::ChunkData;
            break;
        }
        case Stage::ChunkData: {
            const qsizetype available = m_buffer.size() - m_read;
            const qsizetype take = static_cast<qsizetype>(qMin<qint64>(available, m_remaining));
            m_body += QByteArrayView(m_buffer).sliced(m_read, take);
            m_read += take;
            m_remaining -= take;
            if (m_remaining > 0)
                return;
            m_stage = Stage::ChunkEnd;
            break;
        }
        case Stage::ChunkEnd: {
            QByteArray line;
            if (!takeLine(line))
                return;
            if (!line.isEmpty()) {
                malformed("a chunk longer than its size");
                return;
            }
            m_stage = Stage::ChunkSize;
            break;
        }
        case Stage::Trailers: {
            QByteArray line;
            if (!takeLine(line))
                return;
            if (line.isEmpty())
                complete();
            break;
        }
        case Stage::Done:
            return;
        }
    }
}

bool HttpResponse::parseHead(QByteArrayView head)
{
    QList<QByteArray> lines = head.toByteArray().split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    // "HTTP/1.1 200 OK"
    const QByteArray& statusLine = lines.first();
    const QList<QByteArray> parts = statusLine.split(' ');
    if (parts.size() < 2 || !parts.at(0).startsWith("HTTP/1.") || parts.at(1).size() != 3 ||
        !allDigits(parts.at(1))) {
        malformed("not an HTTP response");
        return false;
    }
    const int status = parts.at(1).toInt();
    if (status < 100) {
        malformed("not an HTTP response");
        return false;
    }
    if (status < 200) {
        // An interim response (100 Continue): the real one follows.
        return true;
    }
    m_status = status;
    m_reason = statusLine.mid(parts.at(0).size() + parts.at(1).size() + 2).trimmed();

    bool chunked = false;
    qint64 length = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            malformed("a header line without a name");
            return false;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "transfer-encoding") {
            chunked = value.toLower().endsWith("chunked");
        } else if (name == "content-length") {
            if (!allDigits(value) || value.size() > 12) {
                malformed("a Content-Length that is no number");
                return false;
            }
            const qint64 given = value.toLongLong();
            if (length >= 0 && given != length) {
                malformed("two different Content-Length headers");
                return false;
            }
            length = given;
        }
    }

    if (m_status == 204 || m_status == 304) {
        complete();
    } else if (chunked) {
        m_stage = Stage::ChunkSize;
    } else if (length >= 0) {
        if (length > kLimit) {
            m_state = State::TooLarge;
            return false;
        }
        m_framing = Framing::Length;
        m_remaining = length;
        m_stage = Stage::Body;
        if (length == 0)
            complete();
    } else {
        m_framing = Framing::UntilClose;
        m_stage = Stage::Body;
    }
    return true;
}
