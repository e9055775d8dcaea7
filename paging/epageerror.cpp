#include "paging/epageerror.h"

EPageError::EPageError(int code) : EZelkorError(messageFor(code)), m_code(code) {}

QByteArray EPageError::messageFor(int code)
{
    switch (code) {
    case 0:
        return "No Response From Terminal!";
    case 1:
        return "Resend Requested!";
    case 2:
        return "Logon Denyed!";
    case 3:
        return "Message Faild Checksum!";
    case 4:
        return "Invalid ID Or Bad Link!";
    case 5:
        return "Connection Lost!";
    case 6:
        return "Terminal Disconnected!";
    case 8:
        return "No Message To Send!";
    case 9:
        return "No Provider Number!";
    case 10:
        return "No Pin Number!";
    case 12:
        return "Comport Error!";
    case 13:
        return "Error Initalizing Modem!";
    case 15:
        return "Connection Failed!";
    case 16:
        return "Logon Failure!";
    case 17:
        return "Logon Denied!";
    case 18:
        return "Terminal Disconnected!";
    case 20:
        return "No Carrier!";
    case 21:
        return "Line Busy!";
    case 22:
        return "No Dial Tone!";
    case 23:
        return "No Answer!";
    case 24:
        return "Voice Connection!";
    default:
        return "Unknown Error!";
    }
}
