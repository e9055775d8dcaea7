#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <functional>

// A TAP paging terminal as the far end of whatever line carries it: a modem's call (see
// ScriptedModem) or a TCP connection (ScriptedTapServer). It is fed the bytes that reach it and
// answers through the writer it was given, from the test's event loop.
//
// It sends "ID=" when the line comes up or on each CR before the log-on (IdPrompt), answers
// each log-on line (ESC "PG1" ... CR) with the next scripted log-on reply (an ACK reply is
// followed by the go-ahead ESC "[p" CR unless switched off), verifies the checksum of every
// block (STX ... ETX, three checksum characters, CR): a bad one is answered with NAK, a good
// one with the next scripted block reply (ACK when the script is used up). ESC EOT CR ends
// the call from the terminal's side.
class ScriptedTerminal final : public QObject
{
    Q_OBJECT

public:
    enum class IdPrompt { AtOnce, AfterCr, Never };

    struct Block
    {
        QByteArray pin;
        QByteArray field;    // the message field between the two CRs
        QByteArray checksum; // the three characters as received
        QByteArray raw;      // STX through the final CR
        bool checksumValid = false;
        qint64 arrivedMs = 0; // on this terminal's clock (elapsedMs())
    };

    using Writer = std::function<void(const QByteArray& bytes)>;

    explicit ScriptedTerminal(QObject* parent = nullptr);

    // Replies, as the terminal sends them.
    static QByteArray ack() { return QByteArray("\r\x06\r"); }
    static QByteArray nak() { return QByteArray("\r\x15\r"); }
    static QByteArray rs() { return QByteArray("\r\x1e\r"); }
    static QByteArray endOfCall() { return QByteArray("\r\x1b\x04\r"); }
    static QByteArray goAhead() { return QByteArray("\x1b[p\r"); }
    static QByteArray silence() { return {}; }

    void setWriter(Writer writer) { m_writer = std::move(writer); }
    // Called at once when ESC EOT CR arrived.
    void setOnEndOfCall(std::function<void()> handler) { m_onEndOfCall = std::move(handler); }

    void setIdPrompt(IdPrompt prompt) { m_idPrompt = prompt; }
    void queueLogonReplies(const QList<QByteArray>& replies) { m_logonReplies += replies; }
    void setGoAhead(bool on) { m_goAhead = on; }
    void queueBlockReplies(const QList<QByteArray>& replies) { m_blockReplies += replies; }
    // Called from the event loop after a block arrived (before or after its reply was sent).
    void setOnBlock(std::function<void(const Block& block)> handler);

    // The line came up: prompts at once unless told otherwise.
    void lineUp();
    // The line dropped: what was half received and the log-on are forgotten.
    void lineDown();
    void take(char byte);

    // What happened.
    int promptCrs() const { return m_promptCrs; }
    const QList<QByteArray>& logonLines() const { return m_logonLines; }
    const QList<Block>& blocks() const { return m_blocks; }
    bool endOfCallReceived() const { return m_endOfCall; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    void logonLine(const QByteArray& line);
    void block(const QByteArray& raw);
    void write(const QByteArray& bytes);

    Writer m_writer;
    std::function<void()> m_onEndOfCall;
    QElapsedTimer m_clock;

    IdPrompt m_idPrompt = IdPrompt::AtOnce;
    QList<QByteArray> m_logonReplies;
    bool m_goAhead = true;
    QList<QByteArray> m_blockReplies;
    std::function<void(const Block&)> m_onBlock;

    QByteArray m_line;
    bool m_loggedOn = false;

    int m_promptCrs = 0;
    QList<QByteArray> m_logonLines;
    QList<Block> m_blocks;
    bool m_endOfCall = false;
};
