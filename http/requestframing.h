#pragma once

#include "http/httplimits.h"

#include <QByteArray>

// Follows the requests of one connection as their bytes arrive, without taking them from the
// socket: where each request's head ends, how long its body is, and whether it stays within
// the limits. The HTTP server module parses the requests; this only finds their edges, so the
// listener can refuse a request that is too large before the module buffers it, and knows when
// a connection is between requests.
//
// A body must be announced by Content-Length; a request that sends its body in chunks
// (Transfer-Encoding) is answered 411, since its size could not be checked before it is read.
class RequestFraming final
{
public:
    enum class Verdict {
        Idle,           // between requests: nothing of the next one has arrived
        Partial,        // in the middle of a request
        HeaderTooLarge, // 431
        BodyTooLarge,   // 413
        LengthRequired, // 411: a body in chunks
        BadRequest,     // 400: a Content-Length that is no length, two that differ, or an
                        // upgrade to another protocol (none is served)
    };

    explicit RequestFraming(const HttpLimits& limits);

    // Takes the bytes that arrived after those already fed. Once a verdict is an error, it
    // stays.
    Verdict feed(const QByteArray& bytes);

    Verdict verdict() const { return m_verdict; }
    // For an error verdict, the text of the reply.
    const char* problem() const { return m_problem; }
    bool failed() const { return m_verdict > Verdict::Partial; }
    // Requests that arrived whole so far.
    qint64 completed() const { return m_completed; }
    // The head of the current request has arrived, asks for "100 Continue", and its body has
    // not arrived whole yet. Cleared by continueSent().
    bool wantsContinue() const { return m_wantsContinue; }
    void continueSent() { m_wantsContinue = false; }

private:
    enum class Phase { BeforeRequest, Head, Body };

    void headEnded();
    void fail(Verdict verdict, const char* problem);

    HttpLimits m_limits;
    Phase m_phase = Phase::BeforeRequest;
    Verdict m_verdict = Verdict::Idle;
    QByteArray m_head;
    qint64 m_bodyLeft = 0;
    qint64 m_completed = 0;
    bool m_wantsContinue = false;
    const char* m_problem = "";
};
