#include "http/httpoptionsentry.h"

#include "foundation/widgettext.h"

HttpOptionsEntry HttpOptionsEntry::of(const HttpSettings& settings)
{
    return HttpOptionsEntry{settings.enabled, QByteArray::number(settings.port), settings.token};
}

std::optional<QString> HttpOptionsEntry::check() const
{
    if (enabled && !HttpSettings::parsePort(port)) {
        return QStringLiteral("'%1' is not a valid HTTP port: enter a number from 1 to 65535")
            .arg(WidgetText::fromBytes(port));
    }
    if (!token.isEmpty() && !HttpSettings::isValidToken(token)) {
        return QStringLiteral("The token may hold letters, digits and -._~+/ followed by any =, "
                              "at most %1 characters")
            .arg(HttpSettings::MaxTokenLength);
    }
    return std::nullopt;
}

HttpSettings HttpOptionsEntry::applyTo(const HttpSettings& current) const
{
    HttpSettings settings = current;
    settings.enabled = enabled;
    if (const std::optional<quint16> typed = HttpSettings::parsePort(port))
        settings.port = *typed;
    settings.token = token;
    return settings;
}

std::optional<QString> HttpOptionsEntry::apply(IHttpSettingsHolder& holder) const
{
    if (std::optional<QString> refused = check())
        return refused;
    const HttpSettings settings = applyTo(holder.settings());
    if (settings == holder.settings() && settings.enabled == holder.isListening())
        return std::nullopt;
    return holder.configure(settings);
}
