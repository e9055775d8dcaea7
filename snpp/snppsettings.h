#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The gateway's own settings, in the small section/key file Snpp.Dat of the data folder: whether
// the gateway listens, and on which port. A missing file or entry reads as off, port 444.
struct SnppSettings
{
    static constexpr quint16 StandardPort = 444;

    bool enabled = false;
    quint16 port = StandardPort;

    // The file's name in the data folder.
    static inline const QString FileName = QStringLiteral("Snpp.Dat");

    static QString filePath(const QString& dataDir);
    // What the file says, as far as it can be read: an entry that is no setting reads as its
    // default. For the command line, which writes the file whole again.
    static SnppSettings load(const QString& dataDir);
    // What the file says, for a gateway that follows it. No file reads as the defaults (off). A
    // file that cannot be read, holds no gateway settings, or holds an entry that is none
    // (Enabled other than 0 or 1, Port no port number) gives nothing and `problem` says why: a
    // damaged file must not switch a running gateway off or onto another port.
    static std::optional<SnppSettings> read(const QString& dataDir, QString& problem);
    // "on at port N" or "off", for the operator.
    QString describe() const;
    // Raises EIniFileError when the file cannot be written; the old file then stays.
    void save(const QString& dataDir) const;

    // A port as typed: decimal digits only, 1 to 65535.
    static std::optional<quint16> parsePort(const QByteArray& text);

    // The command line's "--snpp-port N" (or "--snpp-port=N") applied to `current`: N switches
    // the gateway on at port N, 0 switches it off and keeps the port. Nothing when the option
    // is not given. Raises EZelkorError with a line for the operator when its value is missing
    // or is no such number.
    static std::optional<SnppSettings> fromArguments(const QStringList& arguments,
                                                     const SnppSettings& current);

    // fromArguments on the settings file of `dataDir`, and the result stored there. The line
    // for the operator when the option is wrong or the file cannot be written.
    static std::optional<QByteArray> applyArguments(const QStringList& arguments,
                                                    const QString& dataDir);

    bool operator==(const SnppSettings&) const = default;
};
