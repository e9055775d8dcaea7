#include "calls/modemsetup.h"

#include "core/serverconfig.h"
#include "paging/tomxpage.h"
#include "queue/companylinesettings.h"
#include "serial/comporttypes.h"

namespace {

void setFlowControl(TOMXPage& engine, int hardware, int software)
{
    engine.setComPortHwHandshaking(static_cast<TComPortHwHandshaking>(hardware));
    engine.setComPortSwHandshaking(static_cast<TComPortSwHandshaking>(software));
}

} // namespace

bool ModemSetup::portUsable(const TServerConfig& config)
{
    return config.ComPort >= pnCOM1 && config.ComPort <= pnCOM4 && config.ComPortSpeed >= br110 &&
           config.ComPortSpeed <= br115200;
}

bool ModemSetup::apply(TOMXPage& engine, const TServerConfig& config, const QString& dataDir,
                       const CompanyLineSettings& line, const QByteArray& section)
{
    if (!portUsable(config))
        return false;
    engine.setDeviceDirectory(dataDir);
    engine.setComPort(static_cast<TComPortNumber>(config.ComPort));
    switch (config.FlowControl) {
    case 0:
        setFlowControl(engine, hhNONE, shNONE);
        break;
    case 1:
        setFlowControl(engine, hhRTSCTS, shNONE);
        break;
    case 2:
        setFlowControl(engine, hhNONE, shXONXOFF);
        break;
    case 3:
        setFlowControl(engine, hhRTSCTS, shXONXOFF);
        break;
    default:
        break; // no selection: the engine keeps what it has
    }
    engine.setComPortSpeed(static_cast<TComPortBaudRate>(config.ComPortSpeed));
    engine.setComPortDataBits(static_cast<TComPortDataBits>(line.dataBits));
    engine.setComPortParity(static_cast<TComPortParity>(line.parity));
    engine.setComPortStopBits(static_cast<TComPortStopBits>(line.stopBits));
    engine.setMsgLength(line.length);
    engine.setPassword(line.password);
    engine.setProvider(section);
    return true;
}

QByteArray ModemSetup::lineName(const TServerConfig& config, std::optional<int> port)
{
    const int number = port.has_value() ? *port : config.ComPort + 1;
    if (number < 1 || number > 4)
        return QByteArray("COM?");
    return "COM" + QByteArray::number(number);
}
