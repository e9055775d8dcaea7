#pragma once

#include <QtGlobal>

// The line setting codes a paging company's terminal is reached with. The queue file, the
// company directory and the serial port store and read the same codes, so which ones exist is
// decided here, once:
//   parity     0 none, 1 odd, 2 even, 3 mark, 4 space
//   data bits  0 to 3 for five to eight bits
//   stop bits  0 one, 1 one and a half, 2 two
// A code outside these is none of them: a port set from it would refuse to open or leave the
// setting alone, so every reader and writer turns such a value away or replaces it.
namespace LineCodes {

constexpr qint32 ParityCount = 5;
constexpr qint32 DataBitsCount = 4;
constexpr qint32 StopBitsCount = 3;

// What a company or a queue section that names none is taken to use: even parity, seven data
// bits and one stop bit.
constexpr qint32 DefaultParity = 2;
constexpr qint32 DefaultDataBits = 2;
constexpr qint32 DefaultStopBits = 0;

constexpr bool isParity(qint32 code)
{
    return code >= 0 && code < ParityCount;
}
constexpr bool isDataBits(qint32 code)
{
    return code >= 0 && code < DataBitsCount;
}
constexpr bool isStopBits(qint32 code)
{
    return code >= 0 && code < StopBitsCount;
}

} // namespace LineCodes
