#include "http/httpsettings.h"

#include "foundation/errors.h"
#include "foundation/filestore.h"
#include "foundation/inilines.h"
#include "foundation/tinifile.h"
#include "foundation/widgettext.h"

#include <QFile>

namespace {

constexpr char Section[] = "HTTP";
const QString Option = QStringLiteral("--http-port");

bool isTokenCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '+' || c == '/';
}

} // namespace

QString HttpSettings::filePath(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}

HttpSettings HttpSettings::load(const QString& dataDir)
{
    const TIniFile file(filePath(dataDir));
    HttpSettings settings;
    settings.enabled = file.ReadNumber(Section, "Enabled", 0) != 0;
    settings.port = parsePort(file.ReadText(Section, "Port", QByteArray())).value_or(StandardPort);
    // Kept as it is, even when no client could send it: the command line writes the file
    // again, and a damaged token must stay damaged (and refused) rather than become no token.
    settings.token = file.ReadText(Section, "Token", QByteArray()).trimmed();
    return settings;
}

std::optional<HttpSettings> HttpSettings::read(const QString& dataDir, QString& problem)
{
    const QString path = filePath(dataDir);
    const FileStore::FileBytes file = FileStore::readFile(path);
    if (file.status == FileStore::FileBytes::Status::Missing)
        return HttpSettings{};
    if (file.status == FileStore::FileBytes::Status::Unreadable) {
        problem = QStringLiteral("%1 could not be read (%2)").arg(path, file.error);
        return std::nullopt;
    }
    const QList<std::pair<QByteArray, QByteArray>> entries = TIniFile(path).ReadSection(Section);
    if (entries.isEmpty()) {
        problem = QStringLiteral("%1 holds no [HTTP] settings").arg(path);
        return std::nullopt;
    }
    const auto shown = [](const QByteArray& key, const QByteArray& value) {
        return WidgetText::fromBytes(key + '=' + value.left(40));
    };
    HttpSettings settings;
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
        } else if (IniLines::sameName(key, "Token")) {
            if (!text.isEmpty() && !isValidToken(text)) {
                // The token itself stays out of the message: it is a secret.
                problem = QStringLiteral("%1 is damaged (its Token holds characters a client "
                                         "cannot send: letters, digits and -._~+/ then = only)")
                              .arg(path);
                return std::nullopt;
            }
            settings.token = text;
        }
    }
    return settings;
}

QString HttpSettings::describe() const
{
    if (!enabled)
        return QStringLiteral("off");
    return token.isEmpty() ? QStringLiteral("on at port %1, no token").arg(port)
                           : QStringLiteral("on at port %1, with a token").arg(port);
}

void HttpSettings::save(const QString& dataDir) const
{
    TIniFile(filePath(dataDir))
        .WriteTexts(Section, {{"Enabled", enabled ? "1" : "0"},
                              {"Port", QByteArray::number(port)},
                              {"Token", token}});
    // The token is a password: only the server's own user may read it.
    if (!token.isEmpty())
        QFile::setPermissions(filePath(dataDir), QFile::ReadOwner | QFile::WriteOwner);
}

std::optional<quint16> HttpSettings::parsePort(const QByteArray& text)
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

bool HttpSettings::isValidToken(const QByteArray& token)
{
    if (token.isEmpty() || token.size() > MaxTokenLength)
        return false;
    qsizetype i = 0;
    while (i < token.size() && isTokenCharacter(token[i]))
        ++i;
    if (i == 0)
        return false;
    while (i < token.size() && token[i] == '=')
        ++i;
    return i == token.size();
}

std::optional<HttpSettings> HttpSettings::fromArguments(const QStringList& arguments,
                                                        const HttpSettings& current)
{
    std::optional<QString> value;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == Option) {
            if (i + 1 >= arguments.size())
                throw EZelkorError("--http-port needs a port number (0 switches HTTP off)");
            value = arguments[++i];
        } else if (argument.startsWith(Option + QLatin1Char('='))) {
            value = argument.mid(Option.size() + 1);
        }
    }
    if (!value)
        return std::nullopt;
    HttpSettings settings = current;
    if (*value == QStringLiteral("0")) {
        settings.enabled = false;
        return settings;
    }
    const std::optional<quint16> port = parsePort(WidgetText::toBytes(*value));
    if (!port)
        throw EZelkorError("--http-port " + WidgetText::toBytes(*value) +
                           ": not a port number from 1 to 65535 (0 switches HTTP off)");
    settings.enabled = true;
    settings.port = *port;
    return settings;
}

std::optional<QByteArray> HttpSettings::applyArguments(const QStringList& arguments,
                                                       const QString& dataDir)
{
    try {
        if (const std::optional<HttpSettings> settings = fromArguments(arguments, load(dataDir)))
            settings->save(dataDir);
    } catch (const EZelkorError& error) {
        return error.message();
    }
    return std::nullopt;
}
