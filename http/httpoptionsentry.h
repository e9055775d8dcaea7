#pragma once

#include "http/httpsettings.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the running server offers the options dialog of its HTTP front end: the settings in use,
// whether it listens, and a way to store and apply others.
class IHttpSettingsHolder
{
public:
    virtual ~IHttpSettingsHolder() = default;

    virtual const HttpSettings& settings() const = 0;
    virtual bool isListening() const = 0;
    // Stores the settings in Http.Dat and listens as they say; the text for the operator when
    // the file cannot be written or the port cannot be listened on.
    virtual std::optional<QString> configure(const HttpSettings& settings) = 0;
};

// The entries of the options dialog's HTTP page as typed, checked and turned into settings.
struct HttpOptionsEntry
{
    bool enabled = false;
    QByteArray port;
    QByteArray token;

    static HttpOptionsEntry of(const HttpSettings& settings);

    // Why the entries cannot be stored, or nothing: a front end switched on with a port that is
    // no port, or a token a client could not send. The dialog asks before its OK closes it.
    std::optional<QString> check() const;
    // The settings the entries give; a switched-off front end keeps its port when the one typed
    // is no port.
    HttpSettings applyTo(const HttpSettings& current) const;
    // Stores and applies the entries. Unchanged settings keep a listening front end and its
    // connections as they are; one that could not listen before tries again.
    std::optional<QString> apply(IHttpSettingsHolder& holder) const;
};
