#include "queue/queueentry.h"

namespace {

// Cuts `rest` at the first `marker`: returns the text before it and leaves what follows the
// marker in `rest`. Without the marker the whole rest is the field and nothing is left.
QByteArray takeUntil(QByteArray& rest, const QByteArray& marker)
{
    const qsizetype at = rest.indexOf(marker);
    if (at < 0) {
        QByteArray field = rest;
        rest.clear();
        return field;
    }
    QByteArray field = rest.left(at);
    rest.remove(0, at + marker.size());
    return field;
}

} // namespace

QByteArray QueueEntry::format() const
{
    QByteArray value = MessageMarker + message;
    if (!signature.isEmpty())
        value += SignatureMarker + signature;
    value += PinMarker + pin;
    value += SenderMarker + sender;
    value += AddresseeMarker + addressee;
    return value;
}

QByteArray QueueEntry::pageText() const
{
    return signature.isEmpty() ? message : message + '\n' + signature;
}

QueueEntry QueueEntry::parse(const QByteArray& value)
{
    QueueEntry entry;
    QByteArray rest = value.mid(5);
    if (rest.contains(SignatureMarker)) {
        entry.message = takeUntil(rest, SignatureMarker);
        entry.signature = takeUntil(rest, PinMarker);
    } else {
        entry.message = takeUntil(rest, PinMarker);
    }
    entry.pin = takeUntil(rest, SenderMarker);
    entry.sender = takeUntil(rest, AddresseeMarker);
    entry.addressee = rest;
    return entry;
}

bool QueueEntry::holdsMarker(const QByteArray& text)
{
    for (const char* marker :
         {MessageMarker, SignatureMarker, PinMarker, SenderMarker, AddresseeMarker}) {
        if (text.contains(marker))
            return true;
    }
    return false;
}
