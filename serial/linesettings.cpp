#include "serial/linesettings.h"

#include <sys/ioctl.h>

namespace {

struct RateEntry
{
    int bitRate;
    speed_t speed;
};

constexpr RateEntry kStandardRates[] = {
    {110, B110},     {300, B300},     {600, B600},       {1200, B1200},
    {2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200},
};

} // namespace

int bitRateOf(TComPortBaudRate rate)
{
    static constexpr int kRates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                     14400, 19200, 38400, 56000, 57600, 115200};
    if (rate < br110 || rate > br115200)
        return 0;
    return kRates[rate];
}

speed_t standardSpeedOf(int bitRate)
{
    for (const RateEntry& entry : kStandardRates) {
        if (entry.bitRate == bitRate)
            return entry.speed;
    }
    return B0;
}

int raisedControlLines(const LineSettings& settings)
{
    // With RTS/CTS flow control the driver raises and drops RTS as its buffer fills.
    return settings.hwHandshaking == hhRTSCTS ? TIOCM_DTR : TIOCM_DTR | TIOCM_RTS;
}

void fillTermios(termios& t, const LineSettings& settings)
{
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL | HUPCL;
    // Reads return at once with what has arrived; the caller waits on the descriptor.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = 17;
    t.c_cc[VSTOP] = 19;

    switch (settings.dataBits) {
    case db5BITS:
        t.c_cflag |= CS5;
        break;
    case db6BITS:
        t.c_cflag |= CS6;
        break;
    case db7BITS:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }

    switch (settings.parity) {
    case ptODD:
        t.c_cflag |= PARENB | PARODD;
        break;
    case ptEVEN:
        t.c_cflag |= PARENB;
        break;
    case ptMARK:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case ptSPACE:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }

    if (settings.stopBits == sb1HALFBITS || settings.stopBits == sb2BITS)
        t.c_cflag |= CSTOPB;
    if (settings.hwHandshaking == hhRTSCTS)
        t.c_cflag |= CRTSCTS;
    if (settings.swHandshaking == shXONXOFF)
        t.c_iflag |= IXON | IXOFF;

    const speed_t speed = standardSpeedOf(bitRateOf(settings.speed));
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
}
