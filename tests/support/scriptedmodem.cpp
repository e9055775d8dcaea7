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
constexpr char CR = 13;
} // namespace

ScriptedModem::ScriptedModem(QObject* parent) : QObject(parent)
{
    m_terminal.setWriter([this](const QByteArray& bytes) { write(bytes); });
    // The terminal hangs up at the end of the call; the modem is back in command mode.
    m_terminal.setOnEndOfCall([this] { m_mode = Mode::Command; });
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
    for (const Block& block : m_terminal.blocks())
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
    m_terminal.setOnBlock(std::move(handler));
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
    m_terminal.lineDown();
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
        m_terminal.take(byte);
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
        m_terminal.lineUp();
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
