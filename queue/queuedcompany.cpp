#include "queue/queuedcompany.h"

#include "foundation/convert.h"

QByteArray QueuedCompany::text(const QByteArray& key, const QByteArray& defaultValue) const
{
    return m_settings.value(key.trimmed().toLower(), defaultValue);
}

qint32 QueuedCompany::number(const QByteArray& key, qint32 defaultValue) const
{
    return tryStrToInt(text(key, QByteArray())).value_or(defaultValue);
}

std::optional<CompanyLineSettings> QueuedCompany::lineSettings() const
{
    const CompanyLineSettings defaults;
    const std::optional<qint32> length =
        tryStrToInt(text("Length", QByteArray::number(defaults.length)));
    if (!length)
        return std::nullopt;
    CompanyLineSettings settings;
    settings.password = text("Password", QByteArray());
    settings.length = *length;
    settings.parity = number("Parity", defaults.parity);
    settings.dataBits = number("DataBits", defaults.dataBits);
    settings.stopBits = number("StopBits", defaults.stopBits);
    if (!settings.codesKnown())
        return std::nullopt;
    return settings;
}

void QueuedCompany::addSetting(const QByteArray& key, const QByteArray& value)
{
    const QByteArray folded = key.trimmed().toLower();
    if (!m_settings.contains(folded))
        m_settings.insert(folded, value);
}
