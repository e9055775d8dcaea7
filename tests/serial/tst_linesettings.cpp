#include "serial/linesettings.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

namespace {

// A record as a terminal comes up: cooked mode, echo, CR translation, top bit stripped.
termios cookedTermios()
{
    termios t{};
    t.c_iflag = ICRNL | ISTRIP | IXON | BRKINT | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CRTSCTS;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return t;
}

TEST(LineSettings, RawBinaryModeWithReceiverOnAndHangUpOnClose)
{
    termios t = cookedTermios();
    fillTermios(t, LineSettings{});
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | ISTRIP | IXON | IXOFF | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | HUPCL), tcflag_t(CREAD | CLOCAL | HUPCL));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CRTSCTS | CSTOPB), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
}

TEST(LineSettings, DataBitsParityAndStopBits)
{
    struct Case
    {
        TComPortDataBits bits;
        TComPortParity parity;
        TComPortStopBits stop;
        tcflag_t size;
        tcflag_t parityFlags;
        bool twoStop;
    };
    const Case cases[] = {
        {db5BITS, ptNONE, sb1BITS, CS5, 0, false},
        {db6BITS, ptODD, sb1HALFBITS, CS6, PARENB | PARODD, true},
        {db7BITS, ptEVEN, sb1BITS, CS7, PARENB, false},
        {db8BITS, ptMARK, sb2BITS, CS8, PARENB | CMSPAR | PARODD, true},
        {db7BITS, ptSPACE, sb2BITS, CS7, PARENB | CMSPAR, true},
    };
    for (const Case& c : cases) {
        termios t = cookedTermios();
        LineSettings s;
        s.dataBits = c.bits;
        s.parity = c.parity;
        s.stopBits = c.stop;
        fillTermios(t, s);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size) << "data bits " << c.bits;
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags) << "parity " << c.parity;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop) << "stop bits " << c.stop;
        // Received parity is not checked.
        EXPECT_EQ(t.c_iflag & INPCK, 0u);
    }
}

TEST(LineSettings, FlowControlFollowsTheTwoHandshakingSettings)
{
    termios t = cookedTermios();
    LineSettings s;
    s.hwHandshaking = hhRTSCTS;
    s.swHandshaking = shXONXOFF;
    fillTermios(t, s);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);

    s.hwHandshaking = hhNONE;
    s.swHandshaking = shNONE;
    fillTermios(t, s);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
}

TEST(LineSettings, RtsIsRaisedUnlessRtsCtsFlowControlDrivesIt)
{
    LineSettings s;
    for (const auto sw : {shNONE, shXONXOFF}) {
        s.swHandshaking = sw;
        s.hwHandshaking = hhNONE;
        EXPECT_EQ(raisedControlLines(s), TIOCM_DTR | TIOCM_RTS) << "software flow control " << sw;
        s.hwHandshaking = hhRTSCTS;
        EXPECT_EQ(raisedControlLines(s), TIOCM_DTR) << "software flow control " << sw;
    }
}

TEST(LineSettings, BitRates)
{
    const int expected[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                            14400, 19200, 38400, 56000, 57600, 115200};
    for (int i = br110; i <= br115200; ++i)
        EXPECT_EQ(bitRateOf(static_cast<TComPortBaudRate>(i)), expected[i]);
    EXPECT_EQ(bitRateOf(static_cast<TComPortBaudRate>(-1)), 0);
    EXPECT_EQ(bitRateOf(static_cast<TComPortBaudRate>(13)), 0);

    termios t = cookedTermios();
    LineSettings s;
    s.speed = br2400;
    fillTermios(t, s);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B2400));
    // No constant for 14400, and nothing selected: the record keeps its rate.
    s.speed = br14400;
    fillTermios(t, s);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));
    s.speed = static_cast<TComPortBaudRate>(-1);
    fillTermios(t, s);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));
    EXPECT_EQ(standardSpeedOf(56000), speed_t(B0));
    EXPECT_EQ(standardSpeedOf(115200), speed_t(B115200));
}

} // namespace
