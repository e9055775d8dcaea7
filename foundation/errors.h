#pragma once

#include "foundation/widgettext.h"
#include <QByteArray>
#include <QString>

#include <stdexcept>

// Base of the server's exceptions. The message is the text the operator sees, so it is kept
// as the system's 8-bit text and handed to windows as a QString.
class EZelkorError : public std::runtime_error
{
public:
    explicit EZelkorError(const QByteArray& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QByteArray& message() const noexcept { return m_message; }
    QString text() const { return WidgetText::fromBytes(m_message); }

private:
    QByteArray m_message;
};

// A text that is not a whole number: "'%s' is not a valid integer value".
class EConvertError final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};

// A data file that could not be written: "Unable to write to %s".
class EIniFileError final : public EZelkorError
{
public:
    using EZelkorError::EZelkorError;
};
