#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The HTTP front end's settings, in the small section/key file Http.Dat of the data folder:
// whether it listens, on which port, and the token every request but the health check must
// carry. A missing file or entry reads as off, port 5680, no token.
struct HttpSettings
{
    static constexpr quint16 StandardPort = 5680;

    bool enabled = false;
    quint16 port = StandardPort;
    QByteArray token; // empty: requests need no token

    // The file's name in the data folder.
    static inline const QString FileName = QStringLiteral("Http.Dat");

    static QString filePath(const QString& dataDir);
    // What the file says, as far as it can be read: an Enabled or Port that is no setting reads
    // as its default; the Token is taken as it is. For the command line, which writes the file
    // whole again.
    static HttpSettings load(const QString& dataDir);
    // What the file says, for a listener that follows it. No file reads as the defaults (off).
    // A file that cannot be read, holds no [HTTP] settings, or holds an entry that is none
    // (Enabled other than 0 or 1, Port no port number, a Token a client could not send) gives
    // nothing and `problem` says why: a damaged file must not switch a running listener off,
    // onto another port, or drop its token.
    static std::optional<HttpSettings> read(const QString& dataDir, QString& problem);
    // "on at port N" or "off", for the operator; the token is never shown.
    QString describe() const;
    // Raises EIniFileError when the file cannot be written; the old file then stays.
    void save(const QString& dataDir) const;

    // A port as typed: decimal digits only, 1 to 65535.
    static std::optional<quint16> parsePort(const QByteArray& text);
    // A token a client can send after "Bearer ": letters, digits and "-._~+/", then any "="
    // (the token form of an Authorization header), at most MaxTokenLength characters.
    static constexpr qsizetype MaxTokenLength = 512;
    static bool isValidToken(const QByteArray& token);

    // The command line's "--http-port N" (or "--http-port=N") applied to `current`: N switches
    // the listener on at port N, 0 switches it off and keeps the port. Nothing when the option
    // is not given. Raises EZelkorError with a line for the operator when its value is missing
    // or is no such number.
    static std::optional<HttpSettings> fromArguments(const QStringList& arguments,
                                                     const HttpSettings& current);

    // fromArguments on the settings file of `dataDir`, and the result stored there. The line
    // for the operator when the option is wrong or the file cannot be written.
    static std::optional<QByteArray> applyArguments(const QStringList& arguments,
                                                    const QString& dataDir);

    bool operator==(const HttpSettings&) const = default;
};
