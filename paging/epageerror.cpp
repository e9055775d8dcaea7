#include "paging/epageerror.h"

EPageError::EPageError(Code code) : EZelkorError(messageFor(code)), m_code(code) {}

EPageError::EPageError(Code code, const QByteArray& message) : EZelkorError(message), m_code(code)
{
}

bool EPageError::terminalDisconnected() const
{
    return m_code == Code::TerminalDisconnected || m_code == Code::TerminalHungUp;
}

QByteArray EPageError::messageFor(Code code)
{
    switch (code) {
    case Code::NoResponse:
        return "No Response From Terminal!";
    case Code::ResendRequested:
        return "Resend Requested!";
    case Code::LogonRefused:
        return "Logon Denyed!";
    case Code::ChecksumFailed:
        return "Message Faild Checksum!";
    case Code::InvalidId:
        return "Invalid ID Or Bad Link!";
    case Code::ConnectionLost:
        return "Connection Lost!";
    case Code::TerminalDisconnected:
        return "Terminal Disconnected!";
    case Code::NoMessage:
        return "No Message To Send!";
    case Code::NoProvider:
        return "No Provider Number!";
    case Code::NoPin:
        return "No Pin Number!";
    case Code::ComportError:
        return "Comport Error!";
    case Code::ModemInitFailed:
        return "Error Initalizing Modem!";
    case Code::ConnectionFailed:
        return "Connection Failed!";
    case Code::LogonFailure:
        return "Logon Failure!";
    case Code::LogonDenied:
        return "Logon Denied!";
    case Code::TerminalHungUp:
        return "Terminal Disconnected!";
    case Code::NoCarrier:
        return "No Carrier!";
    case Code::LineBusy:
        return "Line Busy!";
    case Code::NoDialTone:
        return "No Dial Tone!";
    case Code::NoAnswer:
        return "No Answer!";
    case Code::VoiceConnection:
        return "Voice Connection!";
    default:
        return "Unknown Error!";
    }
}
