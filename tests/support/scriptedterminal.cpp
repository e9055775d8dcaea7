#include "tests/support/scriptedterminal.h"

#include <QTimer>

namespace {
constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char ESC = 27;
constexpr char CR = 13;
} // namespace

ScriptedTerminal::ScriptedTerminal(QObject* parent) : QObject(parent)
{
    m_clock.start();
}

void ScriptedTerminal::setOnBlock(std::function<void(const Block&)> handler)
{
    m_onBlock = std::move(handler);
}

void ScriptedTerminal::lineUp()
{
    m_line.clear();
    m_loggedOn = false;
    if (m_idPrompt == IdPrompt::AtOnce)
        write("ID=");
}

void ScriptedTerminal::lineDown()
{
    m_line.clear();
    m_loggedOn = false;
}

void ScriptedTerminal::take(char byte)
{
    if (m_line.isEmpty()) {
        if (byte == STX || byte == ESC) {
            m_line.append(byte);
        } else if (byte == CR && !m_loggedOn) {
            ++m_promptCrs;
            if (m_idPrompt != IdPrompt::Never)
                write("ID=");
        }
        return;
    }
    m_line.append(byte);
    if (m_line.at(0) == ESC) {
        if (byte != CR)
            return;
        const QByteArray line = m_line;
        m_line.clear();
        if (line == QByteArray("\x1b\x04\r")) {
            m_endOfCall = true;
            m_loggedOn = false;
            if (m_onEndOfCall)
                m_onEndOfCall();
        } else if (line.startsWith("\x1bPG1"))
            logonLine(line);
        return;
    }
    const qsizetype etx = m_line.indexOf(ETX);
    if (etx >= 0 && m_line.size() >= etx + 5) {
        const QByteArray raw = m_line;
        m_line.clear();
        block(raw);
    }
}

void ScriptedTerminal::logonLine(const QByteArray& line)
{
    m_logonLines.append(line);
    const QByteArray reply = m_logonReplies.isEmpty() ? ack() : m_logonReplies.takeFirst();
    write(reply);
    if (reply.contains('\x06')) {
        m_loggedOn = true;
        if (m_goAhead)
            write(goAhead());
    }
}

void ScriptedTerminal::block(const QByteArray& raw)
{
    Block b;
    b.raw = raw;
    b.arrivedMs = m_clock.elapsed();
    const qsizetype etx = raw.indexOf(ETX);
    const qsizetype firstCr = raw.indexOf(CR);
    if (firstCr > 0 && firstCr < etx) {
        b.pin = raw.mid(1, firstCr - 1);
        b.field = raw.mid(firstCr + 1, etx - firstCr - 2);
    }
    b.checksum = raw.mid(etx + 1, 3);
    // Worked out here independently of the code under test.
    unsigned sum = 0;
    for (qsizetype i = 0; i <= etx; ++i)
        sum += static_cast<unsigned char>(raw.at(i));
    QByteArray expected;
    expected.append(static_cast<char>('0' + ((sum >> 8) & 0xF)));
    expected.append(static_cast<char>('0' + ((sum >> 4) & 0xF)));
    expected.append(static_cast<char>('0' + (sum & 0xF)));
    b.checksumValid = raw.at(etx + 4) == CR && raw.at(etx - 1) == CR && b.checksum == expected;
    m_blocks.append(b);

    if (!b.checksumValid)
        write(nak());
    else
        write(m_blockReplies.isEmpty() ? ack() : m_blockReplies.takeFirst());
    if (m_onBlock) {
        QTimer::singleShot(0, this, [this, b] {
            if (m_onBlock)
                m_onBlock(b);
        });
    }
}

void ScriptedTerminal::write(const QByteArray& bytes)
{
    if (m_writer && !bytes.isEmpty())
        m_writer(bytes);
}
