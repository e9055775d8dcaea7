#include "snpp/snppsettings.h"

#include "foundation/errors.h"
#include "foundation/tinifile.h"
#include "foundation/widgettext.h"

namespace {

constexpr char Section[] = "SNPP";
const QString Option = QStringLiteral("--snpp-port");

} // namespace

QString SnppSettings::filePath(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}

SnppSettings SnppSettings::load(const QString& dataDir)
{
    const TIniFile file(filePath(dataDir));
    SnppSettings settings;
    settings.enabled = file.ReadNumber(Section, "Enabled", 0) != 0;
    settings.port = parsePort(file.ReadText(Section, "Port", QByteArray())).value_or(StandardPort);
    return settings;
}

void SnppSettings::save(const QString& dataDir) const
{
    TIniFile(filePath(dataDir))
        .WriteTexts(Section,
                    {{"Enabled", enabled ? "1" : "0"}, {"Port", QByteArray::number(port)}});
}

std::optional<quint16> SnppSettings::parsePort(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

std::optional<SnppSettings> SnppSettings::fromArguments(const QStringList& arguments,
                                                        const SnppSettings& current)
{
    std::optional<QString> value;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == Option) {
            if (i + 1 >= arguments.size())
                throw EZelkorError("--snpp-port needs a port number (0 switches the gateway off)");
            value = arguments[++i];
        } else if (argument.startsWith(Option + QLatin1Char('='))) {
            value = argument.mid(Option.size() + 1);
        }
    }
    if (!value)
        return std::nullopt;
    SnppSettings settings = current;
    if (*value == QStringLiteral("0")) {
        settings.enabled = false;
        return settings;
    }
    const std::optional<quint16> port = parsePort(WidgetText::toBytes(*value));
    if (!port)
        throw EZelkorError("--snpp-port " + WidgetText::toBytes(*value) +
                           ": not a port number from 1 to 65535 (0 switches the gateway off)");
    settings.enabled = true;
    settings.port = *port;
    return settings;
}

std::optional<QByteArray> SnppSettings::applyArguments(const QStringList& arguments,
                                                       const QString& dataDir)
{
    try {
        if (const std::optional<SnppSettings> settings = fromArguments(arguments, load(dataDir)))
            settings->save(dataDir);
    } catch (const EZelkorError& error) {
        return error.message();
    }
    return std::nullopt;
}
