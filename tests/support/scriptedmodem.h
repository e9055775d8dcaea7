#pragma once

#include "tests/support/scriptedterminal.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;
class QTimer;

// A Hayes modem with a TAP paging terminal behind it, on the far end of a real pseudo-terminal.
// The code under test opens the terminal side (link it into a data folder as "COMn"); this
// object answers on the master side from the test's event loop, so it runs exactly when the
// code under test waits for a reply.
//
// Modem: echoes command characters (when on), answers AT commands with the command reply and
// a dial command ("ATD...") with the result scripted for the dialled number. A result that
// begins with "CONNECT" puts the line online. An empty reply or result is silence.
// Terminal: a ScriptedTerminal, online from CONNECT on; its settings and records are reached
// through this object. ESC EOT CR ends the call from the terminal's side. Closing the terminal
// side drops the line: counted as a hang-up, back to command mode.
class ScriptedModem final : public QObject
{
    Q_OBJECT

public:
    using IdPrompt = ScriptedTerminal::IdPrompt;
    using Block = ScriptedTerminal::Block;

    explicit ScriptedModem(QObject* parent = nullptr);
    ~ScriptedModem() override;

    bool isValid() const { return m_master >= 0; }
    QString terminalPath() const { return m_terminalPath; }
    // Creates `directory`/COM<number> as a symbolic link to the terminal side.
    bool linkAs(const QString& directory, int number) const;

    // Replies, as the terminal sends them.
    static QByteArray ack() { return ScriptedTerminal::ack(); }
    static QByteArray nak() { return ScriptedTerminal::nak(); }
    static QByteArray rs() { return ScriptedTerminal::rs(); }
    static QByteArray endOfCall() { return ScriptedTerminal::endOfCall(); }
    static QByteArray goAhead() { return ScriptedTerminal::goAhead(); }
    static QByteArray silence() { return ScriptedTerminal::silence(); }

    // The modem.
    void setEcho(bool on) { m_echo = on; }
    void setCommandReply(const QByteArray& reply) { m_commandReply = reply; }
    void setDialResult(const QByteArray& number, const QByteArray& result);
    void setDefaultDialResult(const QByteArray& result) { m_defaultDialResult = result; }
    // Called from the event loop (not from inside this object) after a dial command arrived.
    void setOnDial(std::function<void(const QByteArray& number)> handler);

    // The terminal.
    ScriptedTerminal& terminal() { return m_terminal; }
    void setIdPrompt(IdPrompt prompt) { m_terminal.setIdPrompt(prompt); }
    void queueLogonReplies(const QList<QByteArray>& replies)
    {
        m_terminal.queueLogonReplies(replies);
    }
    void setGoAhead(bool on) { m_terminal.setGoAhead(on); }
    void queueBlockReplies(const QList<QByteArray>& replies)
    {
        m_terminal.queueBlockReplies(replies);
    }
    // Called from the event loop after a block arrived (before or after its reply was sent).
    void setOnBlock(std::function<void(const Block& block)> handler);
    // A line of 7 data bits: the top bit of every byte is lost on the way in.
    void setSevenBitLine(bool on) { m_sevenBit = on; }

    // Bytes sent to the terminal side as they are.
    void sendRaw(const QByteArray& bytes);
    // The device goes away: the terminal side is hung up for good and its reads fail.
    void unplug();

    // What happened.
    const QByteArray& received() const { return m_received; }
    const QList<QByteArray>& commands() const { return m_commands; }
    const QList<QByteArray>& dialled() const { return m_dialled; }
    int promptCrs() const { return m_terminal.promptCrs(); }
    const QList<QByteArray>& logonLines() const { return m_terminal.logonLines(); }
    const QList<Block>& blocks() const { return m_terminal.blocks(); }
    // The PIN of every block, in the order they came.
    QList<QByteArray> pins() const;
    bool endOfCallReceived() const { return m_terminal.endOfCallReceived(); }
    int hangUps() const { return m_hangUps; }
    bool lineOpen() const { return !m_closed; }
    qint64 elapsedMs() const { return m_terminal.elapsedMs(); }
    // Blocks in the event loop until the terminal side has been closed, or `seconds` (scaled)
    // have passed. True when it was.
    bool waitForHangUp(int seconds);

private:
    enum class Mode { Command, Online };

    void readMaster();
    void checkReopened();
    void lineClosed();
    void takeByte(char byte);
    void commandByte(char byte);
    void commandLine(const QByteArray& line);
    void write(const QByteArray& bytes);

    int m_master = -1;
    QString m_terminalPath;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_reopenCheck = nullptr;
    bool m_closed = true;

    bool m_echo = true;
    QByteArray m_commandReply = "\r\nOK\r\n";
    QByteArray m_defaultDialResult = "CONNECT 2400";
    QHash<QByteArray, QByteArray> m_dialResults;
    std::function<void(const QByteArray&)> m_onDial;
    bool m_sevenBit = false;
    ScriptedTerminal m_terminal;

    Mode m_mode = Mode::Command;
    QByteArray m_line;

    QByteArray m_received;
    QList<QByteArray> m_commands;
    QList<QByteArray> m_dialled;
    int m_hangUps = 0;
};
