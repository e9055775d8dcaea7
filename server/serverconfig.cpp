#include "server/serverconfig.h"

TServerConfig TServerConfig::defaults(const QString& dataDir)
{
    TServerConfig config;
    config.UserFile = (dataDir + QStringLiteral("/sUser.Dat")).toLocal8Bit();
    config.GroupFile = (dataDir + QStringLiteral("/sGroup.Dat")).toLocal8Bit();
    return config;
}
