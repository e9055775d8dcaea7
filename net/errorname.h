#pragma once

#include <QByteArray>

// Socket errors are reported with the WinSock numbers and names that the operators and the
// workstation software know ("Error #10061 (WSAECONNREFUSED)"), whatever the platform underneath.
namespace SockErrors {

// The WinSock constant name of a socket error code; "UNKNOWN ERROR" for any other code.
QByteArray ErrorName(int code);

// The notification text: "Error #" + code + " (" + name + ")".
QByteArray errorNotice(int code);

// The text of a failed blocking receive: "Receive - Socket Error " + name, without the number.
QByteArray receiveErrorText(int code);

// The WinSock code for a POSIX errno value. Values without a WinSock counterpart become
// 30000 + errno, which is reported as an error and named "UNKNOWN ERROR".
int fromErrno(int errnoValue);

} // namespace SockErrors

using SockErrors::ErrorName;
