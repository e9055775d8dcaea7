#include "serial/customrate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool setCustomBitRate(int fd, int bitRate)
{
    struct termios2 t
    {
    };
    if (bitRate <= 0 || ::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(bitRate);
    t.c_ospeed = static_cast<speed_t>(bitRate);
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

int deviceBitRate(int fd)
{
    struct termios2 t
    {
    };
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return -1;
    return static_cast<int>(t.c_ospeed);
}
