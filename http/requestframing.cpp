#include "http/requestframing.h"

#include "foundation/convert.h"

#include <QList>

namespace {

// The longest Content-Length taken as a number; anything longer is far beyond every limit.
constexpr qsizetype MaxLengthDigits = 18;

} // namespace

RequestFraming::RequestFraming(const HttpLimits& limits) : m_limits(limits) {}

RequestFraming::Verdict RequestFraming::feed(const QByteArray& bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && !failed()) {
        switch (m_phase) {
        case Phase::BeforeRequest:
            // Empty lines before a request line are allowed and skipped.
            if (bytes[i] == '\r' || bytes[i] == '\n') {
                ++i;
                break;
            }
            m_phase = Phase::Head;
            m_verdict = Verdict::Partial;
            m_head.clear();
            break;
        case Phase::Head: {
            const char c = bytes[i++];
            m_head.append(c);
            if (m_head.size() > m_limits.headerBytes) {
                fail(Verdict::HeaderTooLarge, "the request's headers are too large");
                break;
            }
            if (c == '\n' && (m_head.endsWith("\n\n") || m_head.endsWith("\n\r\n")))
                headEnded();
            break;
        }
        case Phase::Body: {
            const qint64 taken = qMin<qint64>(m_bodyLeft, bytes.size() - i);
            m_bodyLeft -= taken;
            i += taken;
            if (m_bodyLeft == 0) {
                ++m_completed;
                m_wantsContinue = false;
                m_phase = Phase::BeforeRequest;
                m_verdict = Verdict::Idle;
            }
            break;
        }
        }
    }
    return m_verdict;
}

void RequestFraming::headEnded()
{
    qint64 length = -1;
    bool expectsContinue = false;
    const QList<QByteArray> lines = m_head.split('\n');
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QByteArray line = lines[n].endsWith('\r') ? lines[n].chopped(1) : lines[n];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            if (!allDigits(value) || value.size() > MaxLengthDigits) {
                fail(Verdict::BadRequest, "the request's Content-Length is no length");
                return;
            }
            const qint64 given = value.toLongLong();
            if (length >= 0 && length != given) {
                fail(Verdict::BadRequest, "the request gives two different Content-Lengths");
                return;
            }
            length = given;
        } else if (name == "transfer-encoding") {
            fail(Verdict::LengthRequired, "a request body needs a Content-Length");
            return;
        } else if (name == "upgrade") {
            fail(Verdict::BadRequest, "no other protocol is served here");
            return;
        } else if (name == "expect") {
            expectsContinue = value.toLower() == "100-continue";
        }
    }
    if (length > m_limits.bodyBytes) {
        fail(Verdict::BodyTooLarge, "the request's body is too large");
        return;
    }
    m_head.clear();
    if (length <= 0) {
        ++m_completed;
        m_phase = Phase::BeforeRequest;
        m_verdict = Verdict::Idle;
        return;
    }
    m_phase = Phase::Body;
    m_bodyLeft = length;
    m_wantsContinue = expectsContinue;
}

void RequestFraming::fail(Verdict verdict, const char* problem)
{
    m_verdict = verdict;
    m_problem = problem;
    m_wantsContinue = false;
    m_head.clear();
}
