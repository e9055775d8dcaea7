#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The settings record, stored whole as the 944-byte Server.Dat: little-endian 32-bit integers,
// one-byte booleans and length-prefixed short strings at fixed offsets. Strings are the system's
// 8-bit texts (paths in the local 8-bit encoding). `raw` keeps the record's bytes as last
// loaded, saved or defaulted, so padding and the reserved fields, which nothing reads, are
// carried through load and save unchanged.
struct TServerConfig
{
    static constexpr int RecordSize = 944;
    // The longest check interval that still comes round once a day, in minutes.
    static constexpr qint32 MaxQueTime = 24 * 60;

    // Capacities of the short string fields, in characters.
    static constexpr int ModemTypeCapacity = 30;
    static constexpr int InitStringCapacity = 100;
    static constexpr int PortCapacity = 25;
    static constexpr int IPListCapacity = 200;
    static constexpr int FileCapacity = 150;

    qint32 QueTime = 5;
    bool SystemTray = true;
    bool Logging = false;
    QByteArray ModemType = "Generic Modem";
    QByteArray InitString = "ATE1V1&M0";
    qint32 ComPort = 1;      // 0..3 for COM1..COM4, -1 none
    qint32 ComPortSpeed = 4; // index into the speed list (110 ... 115200, empty), -1 none
    qint32 FlowControl = 1;  // 0 None, 1 Hardware, 2 Software, 3 Both, -1 none
    QByteArray Port = "5612";
    QByteArray IPDeny;
    QByteArray IPAccept;
    QByteArray UserFile;
    QByteArray GroupFile;

    QByteArray raw; // RecordSize bytes once defaults were applied or a file was loaded

    // Every field at its first-start default; user and group files in `dataDir`.
    static TServerConfig defaults(const QString& dataDir);

    // The record as Server.Dat holds it. Strings longer than their field are cut; everything
    // outside the fields comes from `raw` (the default record when `raw` is not a whole one).
    QByteArray toRecord() const;
    // Reads the first RecordSize bytes of `bytes`, which must hold at least that many. A length
    // byte beyond its field's capacity is taken as the capacity, so a damaged file never reads
    // into the next field.
    static TServerConfig fromRecord(const QByteArray& bytes);

    // Puts every field whose value no part of the server can work with back to its default and
    // names those fields, in record order: QueTime outside 0 to a day's minutes, a numeric Port
    // outside 1 to 65535, ComPort, ComPortSpeed or FlowControl outside their lists (-1, "none
    // selected", is allowed). A damaged or hand-edited record then never reaches the countdown,
    // the listener or the serial port.
    QList<QByteArray> resetOutOfRange();

    // The fields of the record that hold no value a save could have written, in record order:
    // those resetOutOfRange() would reset, a boolean other than 0 or 1, and a string whose
    // length byte exceeds its field. A record read whole but naming any of them is damaged or
    // foreign, and is better not applied over settings that work.
    QList<QByteArray> invalidFields() const;
};
