#pragma once

#include "snpp/ipagerdirectory.h"
#include "snpp/ipagesink.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>

#include <optional>

#include <utility>

class ISnppAccess;
struct SnppPage;

// What the session does after one line: the reply to send (whole lines, each ended by CR LF;
// empty while a message body is coming in), and whether the session ends once it is out or
// waits to ask the queue again.
struct SnppReply
{
    QByteArray text;
    bool close = false;
    // SEND found the queue being delivered: nothing is sent yet; retrySend() asks again.
    bool pending = false;
    // SEND handed the pages to the queue, which answers later: the session waits for the
    // answer (SnppProtocol::answer) and reads nothing meanwhile.
    bool awaitingQueue = false;
};

// The command handler of one paging client's session: lines in, replies out, no socket and no
// clock. It keeps the transaction being built (pagers, message, subject) and hands it to the
// queue at SEND. Pager IDs are looked up when they are given, so a client learns at once of an
// unknown one; the queue checks every page again when it is sent.
class SnppProtocol final
{
public:
    // The longest message body DATA takes; a longer one is read to its end and refused.
    static constexpr qsizetype MaxMessage = 64 * 1024;
    // The most pagers one transaction may name (a group counts with each of its members).
    static constexpr int MaxPagers = 256;

    SnppProtocol(const ISnppAccess& access, const IPagerDirectory& directory, IPageSink& sink,
                 QByteArray peerAddress);

    static QByteArray greeting();
    // Replies of the session itself, each of which ends it.
    static QByteArray timeoutReply();
    static QByteArray lineTooLongReply();
    static QByteArray deniedReply();
    static QByteArray tooManySessionsReply();
    // The gateway stops (the server stops, or it moves to another port or is switched off).
    static QByteArray shuttingDownReply();
    // SEND waited for the queue longer than the session allows; the transaction stays.
    static QByteArray busyReply();

    // The SEND waiting for the queue is given up: busyReply(), with the refusal shown.
    QByteArray busyRefusal();

    SnppReply handleLine(const QByteArray& line);
    SnppReply retrySend();

    // With this set, SEND hands its pages to a queue that writes several clients' pages at once
    // (when the queue does so) and `answered` is called with its answer, to be passed to
    // answer(); the reply to SEND says it waits (awaitingQueue).
    void setLaterAnswers(IPageSink::Answer answered) { m_answered = std::move(answered); }
    // The reply to the SEND that waited for the queue.
    SnppReply answer(const PageSinkResult& result);
    // A SEND waits for the queue's answer.
    bool awaitingQueue() const { return m_waitingSend.has_value(); }
    // The client of the SEND waiting for the queue's answer has gone: its pages are not queued
    // unless their write has begun.
    void withdrawSend();
    bool inData() const { return m_inData; }

    // The transaction being built.
    int pagerCount() const { return static_cast<int>(m_pagers.size()); }
    const QByteArray& message() const { return m_message; }
    bool hasMessage() const { return m_hasMessage; }
    const QByteArray& subject() const { return m_subject; }

    // The one-line text a message is queued as: the subject, if any, before it, and line ends
    // turned into blanks (a queued message is one line of the queue file).
    static QByteArray queuedText(const QByteArray& subject, const QByteArray& message);

private:
    struct Pager
    {
        QByteArray id;
        PagerTarget target;
    };
    // What makes two pagers one: the PIN and the access number that reaches it.
    using PagerKey = std::pair<QByteArray, QByteArray>;

    SnppReply dataLine(const QByteArray& line);
    SnppReply page(const QByteArray& argument);
    SnppReply mess(const QByteArray& argument);
    SnppReply data();
    SnppReply send();
    static QByteArray tooLongReply();
    // The refusal of a message too long for one of the pagers named so far, or nothing.
    std::optional<SnppReply> tooLongRefusal(const QByteArray& message) const;
    SnppReply site(const QByteArray& argument) const;
    SnppReply level(const QByteArray& argument) const;
    void reset();

    const ISnppAccess& m_access;
    const IPagerDirectory& m_directory;
    IPageSink& m_sink;
    QByteArray m_peer;
    IPageSink::Answer m_answered;
    // The queue's ticket of the SEND waiting for its answer.
    std::optional<quint64> m_waitingSend;

    QList<Pager> m_pagers;
    QSet<PagerKey> m_pagerKeys;
    QByteArray m_message;
    bool m_hasMessage = false;
    QByteArray m_subject;
    QDateTime m_holdUntil;
    QByteArray m_callerId;

    bool m_inData = false;
    QList<QByteArray> m_dataLines;
    qsizetype m_dataSize = 0;
    bool m_dataTooLong = false;
};
