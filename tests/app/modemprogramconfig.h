#pragma once

#include "core/serverconfig.h"

#include <QByteArray>
#include <QString>

// The settings of a program started by a test with COM1 the scripted modem: 9600 baud, no flow
// control, a check every minute, Log.Dat on, workstations on `port`.
inline TServerConfig modemProgramConfig(const QString& dataDir, const QByteArray& port)
{
    TServerConfig config = TServerConfig::defaults(dataDir);
    config.Port = port;
    config.ComPort = 0;
    config.ComPortSpeed = 6; // 9600
    config.FlowControl = 0;
    config.QueTime = 1;
    config.Logging = true;
    return config;
}
