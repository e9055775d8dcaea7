#include "tests/support/scriptedmodem.h"

#include "foundation/ttimecounter.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {
constexpr char STX = 2;
constexpr char ETX = 3;
constexpr char ESC = 27;
constexpr char CR = 13;
} // namespace

ScriptedModem::ScriptedModem(QObject* parent) : QObject(parent)
{
    m_clock.start();
    int master = -1;
    int terminal = -1;
    char name[256] = {};
    if (::openpty(&master, &terminal, name, nullptr, nullptr) != 0)
        return;
    // Only the code under test holds the terminal side open, so that its close is seen here.
    ::close(terminal);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_terminalPath = QFile::decodeName(name);

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &ScriptedModem::readMaster);
    // While the terminal side is closed the master reports a hang-up on every poll; the
    // notifier is off then and this check watches for the next open instead.
    m_reopenCheck = new QTimer(this);
    m_reopenCheck->setInterval(1);
    connect(m_reopenCheck, &QTimer::timeout, this, &ScriptedModem::checkReopened);
    m_reopenCheck->start();
}

ScriptedModem::~ScriptedModem()
{
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_master >= 0)
        ::close(m_master);
}

QList<QByteArray> ScriptedModem::pins() const
{
    QList<QByteArray> pins;
    for (const Block& block : m_blocks)
        pins.append(block.pin);
    return pins;
}

bool ScriptedModem::linkAs(const QString& directory, int number) const
{
    const QString link = directory + QStringLiteral("/COM") + QString::number(number);
    QFile::remove(link);
    return QFile::link(m_terminalPath, link);
}

void ScriptedModem::setDialResult(const QByteArray& number, const QByteArray& result)
{
    m_dialResults.insert(number, result);
}

void ScriptedModem::setOnDial(std::function<void(const QByteArray&)> handler)
{
    m_onDial = std::move(handler);
}

void ScriptedModem::setOnBlock(std::function<void(const Block&)> handler)
{
    m_onBlock = std::move(handler);
}

void ScriptedModem::sendRaw(const QByteArray& bytes)
{
    write(bytes);
}

void ScriptedModem::unplug()
{
    if (m_master < 0)
        return;
    m_notifier->setEnabled(false);
    m_reopenCheck->stop();
    ::close(m_master);
    m_master = -1;
}

bool ScriptedModem::waitForHangUp(int seconds)
{
    TTimeCounter counter;
    counter.setTimeOut(seconds);
    counter.Start();
    return waitUntil(counter, [this] { return m_closed && m_hangUps > 0; });
}

void ScriptedModem::readMaster()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i)
                takeByte(buffer[i]);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // EIO: nobody holds the terminal side any more.
        lineClosed();
        return;
    }
}

void ScriptedModem::checkReopened()
{
    if (m_master < 0)
        return;
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & POLLHUP))
        return;
    m_closed = false;
    m_reopenCheck->stop();
    m_notifier->setEnabled(true);
}

void ScriptedModem::lineClosed()
{
    if (!m_closed)
        ++m_hangUps;
    m_closed = true;
    // Dropping DTR hangs the modem up and puts it back in command mode.
    m_mode = Mode::Command;
    m_line.clear();
    m_loggedOn = false;
    m_notifier->setEnabled(false);
    m_reopenCheck->start();
}

void ScriptedModem::takeByte(char byte)
{
    if (m_sevenBit)
        byte = static_cast<char>(byte & 0x7F);
    m_received.append(byte);
    if (m_mode == Mode::Command)
        commandByte(byte);
    else
        onlineByte(byte);
}

void ScriptedModem::commandByte(char byte)
{
    if (m_echo)
        write(QByteArray(1, byte));
    if (byte == CR) {
        const QByteArray line = m_line.trimmed();
        m_line.clear();
        if (!line.isEmpty())
            commandLine(line);
    } else if (byte != '\n') {
        m_line.append(byte);
    }
}

void ScriptedModem::commandLine(const QByteArray& line)
{
    const QByteArray upper = line.toUpper();
    if (!upper.startsWith("AT"))
        return;
    m_commands.append(line);
    if (!upper.startsWith("ATD")) {
        write(m_commandReply);
        return;
    }
    QByteArray number = line.mid(3);
    if (!number.isEmpty() &&
        (number.at(0) == 'T' || number.at(0) == 't' || number.at(0) == 'P' || number.at(0) == 'p'))
        number = number.mid(1);
    number = number.trimmed();
    m_dialled.append(number);
    const QByteArray result = m_dialResults.value(number, m_defaultDialResult);
    if (m_onDial) {
        QTimer::singleShot(0, this, [this, number] {
            if (m_onDial)
                m_onDial(number);
        });
    }
    if (result.isEmpty())
        return;
    write("\r\n" + result + "\r\n");
    if (result.startsWith("CONNECT")) {
        m_mode = Mode::Online;
        m_loggedOn = false;
        if (m_idPrompt == IdPrompt::AtOnce)
            write("ID=");
    }
}

void ScriptedModem::onlineByte(char byte)
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
            // The terminal hangs up at the end of the call; the modem is back in command mode.
            m_endOfCall = true;
            m_mode = Mode::Command;
            m_loggedOn = false;
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

void ScriptedModem::logonLine(const QByteArray& line)
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

void ScriptedModem::block(const QByteArray& raw)
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

void ScriptedModem::write(const QByteArray& bytes)
{
    if (m_master < 0 || bytes.isEmpty())
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}
