#include "serial/tomxcom32.h"

#include "foundation/eventpump.h"
#include "foundation/pacing.h"
#include "foundation/ttimecounter.h"
#include "serial/replymatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/ioctl.h>

#include <utility>

namespace {
// The shortest period of the poll timer.
constexpr int kMinimumPollMs = 10;
} // namespace

TOMXCom32::TOMXCom32(QObject* parent)
    : QObject(parent), m_pollTimer(new QTimer(this)), m_pacing(&Pacing::standard())
{
    allocateBuffer();
    connect(m_pollTimer, &QTimer::timeout, this, &TOMXCom32::pollTick);
}

TOMXCom32::~TOMXCom32()
{
    ClosePort();
}

void TOMXCom32::setComPort(TComPortNumber port)
{
    if (!PortOpen())
        m_comPort = port;
}

void TOMXCom32::setComPortSpeed(TComPortBaudRate speed)
{
    m_settings.speed = speed;
    ApplySettings();
}

void TOMXCom32::setComPortDataBits(TComPortDataBits bits)
{
    m_settings.dataBits = bits;
    ApplySettings();
}

void TOMXCom32::setComPortStopBits(TComPortStopBits bits)
{
    m_settings.stopBits = bits;
    ApplySettings();
}

void TOMXCom32::setComPortParity(TComPortParity parity)
{
    m_settings.parity = parity;
    ApplySettings();
}

void TOMXCom32::setComPortHwHandshaking(TComPortHwHandshaking handshaking)
{
    m_settings.hwHandshaking = handshaking;
    ApplySettings();
}

void TOMXCom32::setComPortSwHandshaking(TComPortSwHandshaking handshaking)
{
    m_settings.swHandshaking = handshaking;
    ApplySettings();
}

void TOMXCom32::setComPortInBufSize(quint16 size)
{
    m_inBufSize = size;
    allocateBuffer();
    ApplySettings();
}

void TOMXCom32::setComPortOutBufSize(quint16 size)
{
    m_outBufSize = size;
    ApplySettings();
}

void TOMXCom32::setComPortPollingDelay(quint16 ms)
{
    if (ms == m_pollingDelay)
        return;
    m_pollingDelay = ms;
    if (PortOpen())
        restartPollTimer();
}

void TOMXCom32::setOnReceiveData(ReceiveDataHandler handler)
{
    m_onReceiveData = std::move(handler);
    if (PortOpen())
        restartPollTimer();
}

void TOMXCom32::setOnCommEvent(CommEventHandler handler)
{
    m_onCommEvent = std::move(handler);
}

QString TOMXCom32::devicePath() const
{
    if (m_comPort < pnCOM1 || m_comPort > pnCOM4)
        return {};
    const int number = static_cast<int>(m_comPort) + 1;
    const QString directory = m_deviceDirectory.isEmpty() ? QDir::currentPath() : m_deviceDirectory;
    const QString candidate = directory + QStringLiteral("/COM") + QString::number(number);
    const QFileInfo info(candidate);
    if (info.exists() || info.isSymLink())
        return candidate;
    return QStringLiteral("/dev/ttyS") + QString::number(number - 1);
}

bool TOMXCom32::OpenPort()
{
    m_aborted = false;
    if (PortOpen())
        return true;
    const QString path = devicePath();
    if (path.isEmpty() || !m_device.open(path))
        return false;
    ApplySettings();
    // Wakes a running WaitForReply when bytes arrive. Switched on only during a wait, so input
    // nobody reads does not keep waking the event loop.
    m_notifier = new QSocketNotifier(m_device.handle(), QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    m_lastLines = m_device.modemLines();
    m_device.lineCounters(m_lastBreaks, m_lastErrors);
    m_outputPending = false;
    restartPollTimer();
    return true;
}

void TOMXCom32::ClosePort()
{
    if (!PortOpen())
        return;
    m_aborted = true;
    m_pollTimer->stop();
    if (m_notifier) {
        // The notifier must let go of the descriptor before it is closed; it may be delivering
        // the very event that led here, so it is deleted later.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_device.close();
    m_pending.clear();
}

void TOMXCom32::ApplySettings()
{
    if (PortOpen())
        m_device.apply(m_settings);
}

bool TOMXCom32::WriteData(const QByteArray& bytes)
{
    if (!PortOpen())
        return false;
    const bool written = m_device.write(bytes, bitRateOf(m_settings.speed));
    if (written && !bytes.isEmpty())
        m_outputPending = true;
    return written;
}

bool TOMXCom32::SendString(const QByteArray& text)
{
    return WriteData(text);
}

bool TOMXCom32::SendCommand(const QByteArray& text)
{
    if (!WriteData(text + "\r\n"))
        return false;
    return WaitForReply("OK", 5) == 0;
}

int TOMXCom32::WaitForReply(const QByteArray& alternatives, int timeOutSeconds)
{
    ReplyMatcher matcher(alternatives);
    TTimeCounter counter(*m_pacing);
    counter.setTimeOut(timeOutSeconds);
    counter.Start();

    const QPointer<QSocketNotifier> notifier = m_notifier;
    const bool wasEnabled = notifier && notifier->isEnabled();
    if (notifier)
        notifier->setEnabled(true);

    // Bytes that came in the same read after a completed reply are kept for the next wait, so
    // a terminal's next answer is not lost when it arrives together with this one.
    const auto readAndMatch = [&]() {
        bool failed = false;
        QByteArray chunk = takeReceived(&failed);
        // A device that fails its reads (unplugged, hung up) keeps reporting itself readable;
        // the rest of the wait is woken by the counter's tick alone.
        if (failed && notifier)
            notifier->setEnabled(false);
        int used = 0;
        const int index = matcher.feed(chunk.constData(), static_cast<int>(chunk.size()), &used);
        if (index >= 0)
            m_pending = chunk.mid(used);
        return index;
    };

    int result = -1;
    m_waitPasses = 0;
    for (;;) {
        ++m_waitPasses;
        result = readAndMatch();
        if (result >= 0 || !PortOpen())
            break;
        EventPump::waitForEvents();
        if (m_aborted || !PortOpen())
            break;
        if (counter.TimedOut()) {
            // Bytes that arrived within the time still count, however late the event loop
            // got round to this wait.
            result = readAndMatch();
            break;
        }
    }

    // A close during the wait has already taken the notifier off its descriptor for good.
    if (notifier && notifier == m_notifier)
        notifier->setEnabled(wasEnabled);
    return result;
}

QByteArray TOMXCom32::takeReceived(bool* failed)
{
    if (!m_pending.isEmpty())
        return std::exchange(m_pending, QByteArray());
    const int count = m_device.read(m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (failed)
        *failed = count < 0;
    return QByteArray(m_buffer.constData(), qMax(count, 0));
}

void TOMXCom32::allocateBuffer()
{
    // A zero size would make every read take nothing while the bytes keep waking the wait.
    m_buffer = QByteArray(qMax<int>(m_inBufSize, 1), '\0');
}

void TOMXCom32::restartPollTimer()
{
    m_pollTimer->stop();
    // A tick without a receiver does nothing, so the timer runs only when there is one.
    if (PortOpen() && m_onReceiveData)
        m_pollTimer->start(qMax<int>(m_pollingDelay, kMinimumPollMs));
}

void TOMXCom32::pollTick()
{
    if (!PortOpen() || !m_onReceiveData)
        return;
    const QByteArray data = takeReceived();
    if (!data.isEmpty())
        m_onReceiveData(data);
    if (!m_onCommEvent || !PortOpen())
        return;
    const TCommEvents events = lineEvents(!data.isEmpty()) & m_events;
    if (events)
        m_onCommEvent(events);
}

TCommEvents TOMXCom32::lineEvents(bool received)
{
    TCommEvents events;
    if (received)
        events |= ceRxChar;

    const int lines = m_device.modemLines();
    if (lines >= 0 && m_lastLines >= 0) {
        const int changed = lines ^ m_lastLines;
        if (changed & TIOCM_CTS)
            events |= ceCts;
        if (changed & TIOCM_DSR)
            events |= ceDsr;
        if (changed & TIOCM_CD)
            events |= ceRlsd;
        if ((lines & TIOCM_RI) && !(m_lastLines & TIOCM_RI))
            events |= ceRing;
    }
    m_lastLines = lines;

    int breaks = -1;
    int errors = -1;
    m_device.lineCounters(breaks, errors);
    if (breaks >= 0 && m_lastBreaks >= 0 && breaks != m_lastBreaks)
        events |= ceBreak;
    if (errors >= 0 && m_lastErrors >= 0 && errors != m_lastErrors)
        events |= ceErr;
    m_lastBreaks = breaks;
    m_lastErrors = errors;

    if (m_outputPending && m_device.pendingOutput() == 0) {
        m_outputPending = false;
        events |= ceTxEmpty;
    }
    return events;
}
