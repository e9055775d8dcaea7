#include "serial/serialdevice.h"

#include "serial/customrate.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
constexpr int kDrainMs = 2000;
constexpr int kDrainSliceMs = 10;
} // namespace

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::open(const QString& path)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (!::isatty(fd) || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void SerialDevice::close()
{
    if (m_fd < 0)
        return;
    // Output held back by flow control would make the close wait for it, up to half a minute
    // on a serial driver: it gets a short time to drain, and what is left then is dropped.
    for (int waitedMs = 0; waitedMs < kDrainMs && pendingOutput() > 0; waitedMs += kDrainSliceMs)
        ::usleep(kDrainSliceMs * 1000);
    if (pendingOutput() > 0)
        ::tcflush(m_fd, TCOFLUSH);
    // HUPCL drops DTR on the last close as well; doing it here covers a driver that refused
    // the termios change.
    setModemLine(TIOCM_DTR, false);
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

void SerialDevice::apply(const LineSettings& settings)
{
    if (m_fd < 0)
        return;
    termios t{};
    if (::tcgetattr(m_fd, &t) == 0) {
        fillTermios(t, settings);
        ::tcsetattr(m_fd, TCSANOW, &t);
    }
    const int rate = bitRateOf(settings.speed);
    if (rate > 0 && standardSpeedOf(rate) == B0)
        setCustomBitRate(m_fd, rate);
    setModemLine(raisedControlLines(settings), true);
}

int SerialDevice::read(char* buffer, int max)
{
    if (m_fd < 0 || max <= 0)
        return 0;
    const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(max));
    if (n > 0)
        return static_cast<int>(n);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    // A raw line with no minimum count answers an empty read with 0 when nothing has arrived;
    // only a line that reports itself hung up or readable while giving nothing has failed.
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return 0;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
        return -1;
    // Bytes that came in between the read and the look are taken now.
    const ssize_t late = ::read(m_fd, buffer, static_cast<size_t>(max));
    return late > 0 ? static_cast<int>(late) : -1;
}

bool SerialDevice::write(const QByteArray& bytes, int bitRate)
{
    if (m_fd < 0)
        return false;
    // Ten bit times per character, twice over, plus two seconds.
    const int rate = bitRate > 0 ? bitRate : 110;
    const qint64 budgetMs = 2000 + qint64(bytes.size()) * 20000 / rate;
    qint64 spentMs = 0;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (spentMs >= budgetMs)
            return false;
        // The device's queue is full: sleep until it takes more, in short slices.
        pollfd p{m_fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
        spentMs += 100;
    }
    return true;
}

int SerialDevice::modemLines() const
{
    int lines = 0;
    if (m_fd < 0 || ::ioctl(m_fd, TIOCMGET, &lines) != 0)
        return -1;
    return lines;
}

void SerialDevice::lineCounters(int& breaks, int& errors) const
{
    serial_icounter_struct counts{};
    if (m_fd < 0 || ::ioctl(m_fd, TIOCGICOUNT, &counts) != 0) {
        breaks = -1;
        errors = -1;
        return;
    }
    breaks = counts.brk;
    errors = counts.frame + counts.overrun + counts.parity + counts.buf_overrun;
}

int SerialDevice::pendingOutput() const
{
    int pending = 0;
    if (m_fd < 0 || ::ioctl(m_fd, TIOCOUTQ, &pending) != 0)
        return -1;
    return pending;
}

void SerialDevice::setModemLine(int lines, bool on)
{
    ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &lines);
}
