#include "directories/modemdefinitions.h"

#include <QFile>

const QList<QByteArray>& ModemDefinitions::speedList()
{
    static const QList<QByteArray> speeds{"110",   "300",   "600",    "1200",  "2400",
                                          "4800",  "9600",  "14400",  "19200", "38400",
                                          "56000", "57600", "115200", ""};
    return speeds;
}

ModemDefinitions::ModemDefinitions(const QString& dataDir)
{
    const QString path = dataDir + QLatin1Char('/') + FileName;
    if (!QFile::exists(path))
        return;
    ListSections(path, m_names);
    m_file.emplace(path);
}

std::optional<ModemDefinitions::Settings> ModemDefinitions::settingsOf(const QByteArray& name) const
{
    if (!m_file)
        return std::nullopt;
    return Settings{m_file->ReadText(name, "InitString", defaultInitString()),
                    m_file->ReadText(name, "Speed", defaultSpeed())};
}

int ModemDefinitions::speedIndex(const QByteArray& speed)
{
    return static_cast<int>(speedList().indexOf(speed));
}
