#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

// The two WCTP 1.3 documents a page needs: the wctp-SubmitRequest that carries it to the
// carrier, and the wctp-Confirmation the carrier answers with.
namespace WctpMessage {

struct Submit
{
    QByteArray senderId;
    QByteArray securityCode; // the company's password; left out when empty
    QByteArray recipient;    // the pager ID
    QByteArray text;         // the page, the system's 8-bit text
    QByteArray messageId;
    QDateTime submitted; // written in UTC
};

// The request document, UTF-8. The page's bytes are read as Latin-1; CR is dropped and the
// other control characters that XML cannot carry (all below 0x20 but TAB and LF) become
// blanks, so any page makes a well-formed request.
QByteArray submitRequest(const Submit& submit);

struct Confirmation
{
    enum class Outcome { Success, Failure, Unreadable };
    Outcome outcome = Outcome::Unreadable;
    int code = 0;
    QByteArray text; // the carrier's successText or errorText, as Latin-1
};

// Reads a wctp-Operation holding a wctp-Confirmation with a wctp-Success or a wctp-Failure.
// Anything else (no XML, another document, no outcome) is Unreadable.
Confirmation readConfirmation(QByteArrayView document);

} // namespace WctpMessage
