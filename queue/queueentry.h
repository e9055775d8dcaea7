#pragma once

#include <QByteArray>

// One queued message: the value of a "MSG" + n key of the queue file. The fields are joined by
// their markers with no other separator and no escaping:
//   "*MSG*" message ["*SIG*" signature] "*PIN*" pin "*USR*" sender "*ID*" addressee
// where the signature and its marker are left out when the signature is empty.
struct QueueEntry final
{
    static constexpr char MessageMarker[] = "*MSG*";
    static constexpr char SignatureMarker[] = "*SIG*";
    static constexpr char PinMarker[] = "*PIN*";
    static constexpr char SenderMarker[] = "*USR*";
    static constexpr char AddresseeMarker[] = "*ID*";

    QByteArray message;
    QByteArray signature;
    QByteArray pin;
    QByteArray sender; // the submitting workstation's dotted address
    QByteArray addressee;

    // The stored form. Fields are written as they are; one that holds a marker is not checked.
    QByteArray format() const;

    // The text the paging terminal is sent: the message, then the signature on a line of its
    // own. The run sends it and the front ends check its length with it.
    QByteArray pageText() const;

    // Splits a stored value the way call processing reads it: the first five characters (the
    // "*MSG*" marker) are dropped whatever they are; with a "*SIG*" the message ends at the
    // first one and the signature at the next "*PIN*", otherwise the message ends at the first
    // "*PIN*"; then the PIN runs to the next "*USR*", the sender to the next "*ID*" and the
    // addressee to the end. A marker that is missing ends its field at the end of the value and
    // leaves the later fields empty.
    static QueueEntry parse(const QByteArray& value);

    // True when the text holds any of the five markers, so it would not read back as written.
    static bool holdsMarker(const QByteArray& text);

    bool operator==(const QueueEntry&) const = default;
};
