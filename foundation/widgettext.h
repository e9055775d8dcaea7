#pragma once

#include <QByteArray>
#include <QString>

// The one conversion between the system's strings and what widgets show. The system's strings
// are bytes (messages, PINs, names, log lines, the allow list); where they reach a widget each
// byte is the character of the same code (Latin-1), and a widget's text becomes bytes the same
// way, so every byte a workstation sends shows alike in every window and comes back unchanged.
// File names are the file system's: they are decoded and encoded as it does.
namespace WidgetText {

// Each byte as the character of its code.
QString fromBytes(const QByteArray& bytes);
// Each character as the byte of its code; a character beyond 0xFF becomes "?".
QByteArray toBytes(const QString& text);
// Every character of `text` has a byte of its own (Latin-1), so toBytes keeps it as typed.
bool fitsBytes(const QString& text);

// A file name as the file system spells it, and back.
QString fromFileName(const QByteArray& name);
QByteArray toFileName(const QString& name);

} // namespace WidgetText
