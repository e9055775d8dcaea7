#pragma once

#include "serial/comporttypes.h"

#include <QtGlobal>

#include <termios.h>

// The line settings a COM port applies to its device, in one value.
struct LineSettings
{
    TComPortBaudRate speed = br9600;
    TComPortDataBits dataBits = db8BITS;
    TComPortStopBits stopBits = sb1BITS;
    TComPortParity parity = ptNONE;
    TComPortHwHandshaking hwHandshaking = hhNONE;
    TComPortSwHandshaking swHandshaking = shNONE;
};

// Writes the settings into a termios record: raw binary mode (no echo, no line editing, no
// translation of CR or LF, no stripping of the top bit), receiver on, hang-up (DTR drop) on
// close, modem status lines ignored by the line discipline (the modem's result texts tell the
// engine what happened to the carrier), received parity not checked.
//  - XON/XOFF on input and output only for shXONXOFF, with DC1 (17) and DC3 (19).
//  - RTS/CTS flow control only for hhRTSCTS.
//  - Mark and space parity use CMSPAR.
//  - 1.5 stop bits use the two-stop-bit setting: a UART sends one and a half stop bits when it
//    is asked for two with five data bits, and two otherwise, which a receiver set to 1.5
//    accepts.
//  - A rate that termios has no constant for (14400, 56000) is left to setCustomBitRate();
//    a rate outside the list leaves the record's speed as it was.
void fillTermios(termios& t, const LineSettings& settings);

// The modem control lines (TIOCM_* bits) the port raises whenever it applies its settings:
// DTR, which keeps the modem on line (it hangs up when DTR drops), and RTS unless RTS/CTS flow
// control drives it. A modem that honours RTS/CTS (many do once ATZ restores their profile)
// sends nothing, not even "OK", while RTS is low.
int raisedControlLines(const LineSettings& settings);

// The termios speed constant of a bit rate, or B0 when termios has none for it.
speed_t standardSpeedOf(int bitRate);
