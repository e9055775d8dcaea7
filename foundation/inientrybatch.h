#pragma once

#include "foundation/tinifile.h"

#include <QByteArray>
#include <QList>

class IniLines;

// Many entries written into a section/key file with one pass over its lines: the text that
// TIniFile::WriteEntries would leave, byte for byte (each entry as WriteText writes it: a key's
// first line in the first section of its name takes the value in place, keeping the key's
// spelling; a new key goes after the last line of that section that carries something; a new
// section goes at the end), but in time linear in the file's lines plus the entries instead of
// a search of the file per entry. A queue of ten thousand messages takes hundreds of entries at
// a time this way.
namespace IniEntryBatch {

// The file's new text, each line ended by CR LF.
QByteArray apply(const IniLines& file, const QList<TIniFile::Entry>& entries);

} // namespace IniEntryBatch
