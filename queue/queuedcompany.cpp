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

void QueuedCompany::addSetting(const QByteArray& key, const QByteArray& value)
{
    const QByteArray folded = key.trimmed().toLower();
    if (!m_settings.contains(folded))
        m_settings.insert(folded, value);
}
