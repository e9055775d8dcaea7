#pragma once

#include <QByteArray>
#include <QString>

// The settings record, stored whole as the 944-byte Server.Dat. Strings are the system's 8-bit
// texts. `raw` keeps the record's bytes as last loaded or saved, so padding and the reserved
// fields, which nothing reads, are carried through load and save unchanged.
struct TServerConfig {
    static constexpr int RecordSize = 944;

    qint32 QueTime = 5;
    bool SystemTray = true;
    bool Logging = false;
    QByteArray ModemType = "Generic Modem";
    QByteArray InitString = "ATE1V1&M0";
    qint32 ComPort = 1;      // 0..3 for COM1..COM4, -1 none
    qint32 ComPortSpeed = 4; // index into the speed list, -1 none
    qint32 FlowControl = 1;  // 0 None, 1 Hardware, 2 Software, 3 Both, -1 none
    QByteArray Port = "5612";
    QByteArray IPDeny;
    QByteArray IPAccept;
    QByteArray UserFile;
    QByteArray GroupFile;

    QByteArray raw; // RecordSize bytes once defaults were applied or a file was loaded

    // Every field at its first-start default; user and group files in `dataDir`.
    static TServerConfig defaults(const QString& dataDir);
};
