#include "snpp/snppsettings.h"

#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/inilines.h"
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

std::optional<SnppSettings> SnppSettings::read(const QString& dataDir, QString& problem)
{
    const QString path = filePath(dataDir);
    const FileStore::FileBytes file = FileStore::readFile(path);
    if (file.status == FileStore::FileBytes::Status::Missing)
        return SnppSettings{};
    if (file.status == FileStore::FileBytes::Status::Unreadable) {
        problem = QStringLiteral("%1 could not be read (%2)").arg(path, file.error);
        return std::nullopt;
    }
    const QList<std::pair<QByteArray, QByteArray>> entries = TIniFile(path).ReadSection(Section);
    if (entries.isEmpty()) {
        problem = QStringLiteral("%1 holds no [SNPP] settings").arg(path);
        return std::nullopt;
    }
    const auto shown = [](const QByteArray& key, const QByteArray& value) {
        return WidgetText::fromBytes(key + '=' + value.left(40));
    };
    SnppSettings settings;
    for (const auto& [key, value] : entries) {
        const QByteArray text = value.trimmed();
        if (IniLines::sameName(key, "Enabled")) {
            if (text != "0" && text != "1") {
                problem = QStringLiteral("%1 is damaged (%2 is neither 0 nor 1)")
                              .arg(path, shown(key, value));
                return std::nullopt;
            }
            settings.enabled = text == "1";
        } else if (IniLines::sameName(key, "Port")) {
            const std::optional<quint16> port = parsePort(text);
            if (!port) {
                problem = QStringLiteral("%1 is damaged (%2 is not a port number from 1 to 65535)")
                              .arg(path, shown(key, value));
                return std::nullopt;
            }
            settings.port = *port;
        }
    }
    return settings;
}

QString SnppSettings::describe() const
{
    return enabled ? QStringLiteral("on at port %1").arg(port) : QStringLiteral("off");
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
