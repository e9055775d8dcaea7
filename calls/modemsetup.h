#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct CompanyLineSettings;
struct TServerConfig;
class TOMXPage;

namespace ModemSetup {

// A port and a speed of the settings that the serial port knows (COM1 to COM4, 110 to 115200
// bit/s); without a selection (-1) nobody can be called.
bool portUsable(const TServerConfig& config);

// How log lines name a modem line on COM port `port` (1 for COM1; nothing: the settings' own):
// "COM2", or "COM?" for a port no line can be on.
QByteArray lineName(const TServerConfig& config, std::optional<int> port);

// Sets the modem's engine up for a call to `section`: the port, speed and flow control of the
// settings (COMn looked up in `dataDir` first, a link to the modem's device), the line codes,
// message length and password of the company's pages. False, with the engine untouched, when
// the settings name no usable port.
bool apply(TOMXPage& engine, const TServerConfig& config, const QString& dataDir,
           const CompanyLineSettings& line, const QByteArray& section);

} // namespace ModemSetup
