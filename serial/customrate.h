#pragma once

// Bit rates that termios has no constant for go through the kernel's termios2 interface
// (BOTHER). Kept apart from <termios.h>, whose declarations clash with the kernel's.

// Sets input and output rate of the open terminal `fd` to `bitRate`; true on success.
bool setCustomBitRate(int fd, int bitRate);

// The output bit rate the terminal `fd` is set to, or -1.
int deviceBitRate(int fd);
