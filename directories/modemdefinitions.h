#pragma once

#include "foundation/tinifile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The modem types of Modems.Dat in the data directory: one section per type, with the type's
// "InitString" and "Speed". The server only reads the file. The names are read once, when the
// object is made; a type's values are read anew at every lookup.
class ModemDefinitions final
{
public:
    struct Settings
    {
        QByteArray InitString;
        QByteArray Speed;
    };

    // The file's name in the data folder.
    static inline const QString FileName = QStringLiteral("Modems.Dat");

    explicit ModemDefinitions(const QString& dataDir);

    // Whether Modems.Dat existed when the names were read.
    bool hasFile() const { return m_file.has_value(); }
    // The section names in file order, duplicates included; empty without a file.
    const QList<QByteArray>& names() const { return m_names; }

    // The type's init string and speed, "ATE1V1&M0" and "2400" where a key is missing.
    // Nothing without a file.
    std::optional<Settings> settingsOf(const QByteArray& name) const;

    // The serial speeds the options dialog offers, in its order (the index is what the
    // configuration stores); the last entry is empty.
    static const QList<QByteArray>& speedList();
    // The index of the speed list entry whose text equals `speed` exactly, or -1.
    static int speedIndex(const QByteArray& speed);

    static QByteArray defaultInitString() { return "ATE1V1&M0"; }
    static QByteArray defaultSpeed() { return "2400"; }
    static QByteArray genericModemName() { return "Generic Modem"; }

private:
    std::optional<TIniFile> m_file;
    QList<QByteArray> m_names;
};
