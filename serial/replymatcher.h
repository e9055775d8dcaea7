#pragma once

#include <QByteArray>
#include <QList>

// Watches a stream of received bytes for the first of several expected replies.
//
// The alternatives are one text split at every "|", kept in order and untrimmed. Each byte has
// its top bit cleared (a parity bit arriving as data must not matter) and is appended to the
// collected text; the first alternative that begins with the whole collected text is the
// candidate. A byte that leaves no candidate empties the collected text and is dropped with it,
// so it does not start a new match. A partial match carries over between calls.
class ReplyMatcher final
{
public:
    explicit ReplyMatcher(const QByteArray& alternatives);

    // Takes one received byte; the index of the alternative it completed, else -1.
    int feed(char byte);
    // Takes bytes in order and stops at the first completed alternative; the bytes after it
    // are not looked at. `used` receives how many bytes were taken.
    int feed(const char* bytes, int count, int* used = nullptr);

    const QByteArray& collected() const { return m_collected; }
    const QList<QByteArray>& alternatives() const { return m_alternatives; }

private:
    QList<QByteArray> m_alternatives;
    QByteArray m_collected;
};
