#pragma once

#include <QFlags>

// Line settings of a COM port. The ordinal values are stored in the queue file, the company
// directory and the settings record, so their order never changes. The enumerations have a
// fixed underlying type so that a stored value outside the list (-1: nothing selected) can be
// carried through; the port then refuses to open or leaves that setting alone.

enum TComPortNumber : int { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };

enum TComPortBaudRate : int {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200
};

enum TComPortDataBits : int { db5BITS, db6BITS, db7BITS, db8BITS };

enum TComPortStopBits : int { sb1BITS, sb1HALFBITS, sb2BITS };

enum TComPortParity : int { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };

enum TComPortHwHandshaking : int { hhNONE, hhRTSCTS };

enum TComPortSwHandshaking : int { shNONE, shXONXOFF };

// Line events; each value is the event-mask bit the COM port drivers of the Windows
// workstations use for it.
enum TCommEvent : int {
    ceRxChar = 0x01,
    ceRxFlag = 0x02,
    ceTxEmpty = 0x04,
    ceCts = 0x08,
    ceDsr = 0x10,
    ceRlsd = 0x20,
    ceBreak = 0x40,
    ceErr = 0x80,
    ceRing = 0x100,
    cePErr = 0x200
};
Q_DECLARE_FLAGS(TCommEvents, TCommEvent)
Q_DECLARE_OPERATORS_FOR_FLAGS(TCommEvents)

// The bit rate a TComPortBaudRate stands for; 0 for a value outside the list.
int bitRateOf(TComPortBaudRate rate);
