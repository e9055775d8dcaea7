#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The page store's settings, in the small section/key file Pages.Dat of the data folder:
//   [Pages]
//   KeepDays=30        days a page's fate is kept after it reached it (1 to 3650)
//   MaxAgeHours=0      a page not sent within this many hours expires (0: never; up to 8760)
//   NotifyCommand=     run once for each page at its final state (empty: nothing is run)
// A missing file, or a missing entry, reads as its default.
struct PagesSettings
{
    static constexpr qint32 DefaultKeepDays = 30;
    static constexpr qint32 MaxKeepDays = 3650;
    static constexpr qint32 MaxMaxAgeHours = 8760;
    // The section/key store gives back at most 1023 characters of a value; a command that long
    // may have been cut, so it is refused rather than run in part.
    static constexpr qsizetype MaxCommandLength = 1022;

    qint32 keepDays = DefaultKeepDays;
    qint32 maxAgeHours = 0;
    QByteArray notifyCommand;

    // The file's name in the data folder.
    static inline const QString FileName = QStringLiteral("Pages.Dat");
    static QString filePath(const QString& dataDir);

    // What the file says, for a server that follows it. No file reads as the defaults. A file
    // that cannot be read, holds no [Pages] section, or holds an entry no save writes (a number
    // out of its range or with anything but digits, a command that cannot be split or is too
    // long) gives nothing and `problem` says why: the running settings then stay.
    static std::optional<PagesSettings> read(const QString& dataDir, QString& problem);

    // Why these settings cannot be saved, or nothing when they can (for the options page).
    std::optional<QString> problem() const;
    // Raises EIniFileError when the file cannot be written; the old file then stays.
    void save(const QString& dataDir) const;

    // Decimal digits only, within [low, high].
    static std::optional<qint32> parseNumber(const QByteArray& text, qint32 low, qint32 high);

    bool operator==(const PagesSettings&) const = default;
};
