#include "pages/pagessettings.h"

#include "foundation/filestore.h"
#include "foundation/inilines.h"
#include "foundation/tinifile.h"
#include "foundation/widgettext.h"
#include "pages/commandline.h"

namespace {

constexpr char Section[] = "Pages";

// Why a notify command cannot be used, or nothing when it can (empty is no command).
std::optional<QString> commandProblem(const QByteArray& command)
{
    if (command.trimmed().isEmpty())
        return std::nullopt;
    if (command.size() > PagesSettings::MaxCommandLength)
        return QStringLiteral("NotifyCommand is longer than %1 characters")
            .arg(PagesSettings::MaxCommandLength);
    for (const char c : command) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return QStringLiteral("NotifyCommand holds a control character");
    }
    const CommandLine::Split split = CommandLine::split(command);
    if (!split.problem.isEmpty())
        return QStringLiteral("NotifyCommand cannot be split into words (%1)")
            .arg(WidgetText::fromBytes(split.problem));
    if (split.words.first().isEmpty())
        return QStringLiteral("NotifyCommand names no program");
    return std::nullopt;
}

} // namespace

QString PagesSettings::filePath(const QString& dataDir)
{
    return dataDir + QLatin1Char('/') + FileName;
}

std::optional<PagesSettings> PagesSettings::read(const QString& dataDir, QString& problem)
{
    const QString path = filePath(dataDir);
    const FileStore::FileBytes file = FileStore::readFile(path);
    if (file.status == FileStore::FileBytes::Status::Missing)
        return PagesSettings{};
    if (file.status == FileStore::FileBytes::Status::Unreadable) {
        problem = QStringLiteral("%1 could not be read (%2)").arg(path, file.error);
        return std::nullopt;
    }
    const QList<std::pair<QByteArray, QByteArray>> entries = TIniFile(path).ReadSection(Section);
    if (entries.isEmpty()) {
        problem = QStringLiteral("%1 holds no [Pages] settings").arg(path);
        return std::nullopt;
    }
    const auto damaged = [&](const QByteArray& key, const QByteArray& value, const QString& why) {
        problem = QStringLiteral("%1 is damaged (%2 %3)")
                      .arg(path, WidgetText::fromBytes(key + '=' + value.left(40)), why);
        return std::nullopt;
    };
    PagesSettings settings;
    for (const auto& [key, value] : entries) {
        const QByteArray text = value.trimmed();
        if (IniLines::sameName(key, "KeepDays")) {
            const auto days = parseNumber(text, 1, MaxKeepDays);
            if (!days)
                return damaged(
                    key, value,
                    QStringLiteral("is not a number of days from 1 to %1").arg(MaxKeepDays));
            settings.keepDays = *days;
        } else if (IniLines::sameName(key, "MaxAgeHours")) {
            const auto hours = parseNumber(text, 0, MaxMaxAgeHours);
            if (!hours)
                return damaged(
                    key, value,
                    QStringLiteral("is not a number of hours from 0 to %1").arg(MaxMaxAgeHours));
            settings.maxAgeHours = *hours;
        } else if (IniLines::sameName(key, "NotifyCommand")) {
            if (value.size() >= 1023) {
                problem = QStringLiteral("%1 is damaged (NotifyCommand is longer than %2 "
                                         "characters)")
                              .arg(path)
                              .arg(MaxCommandLength);
                return std::nullopt;
            }
            if (const auto why = commandProblem(text)) {
                problem = QStringLiteral("%1 is damaged (%2)").arg(path, *why);
                return std::nullopt;
            }
            settings.notifyCommand = text;
        }
    }
    return settings;
}

std::optional<QString> PagesSettings::problem() const
{
    if (keepDays < 1 || keepDays > MaxKeepDays)
        return QStringLiteral("Pages are kept for 1 to %1 days").arg(MaxKeepDays);
    if (maxAgeHours < 0 || maxAgeHours > MaxMaxAgeHours)
        return QStringLiteral("The longest wait is 0 (none) to %1 hours").arg(MaxMaxAgeHours);
    if (notifyCommand != notifyCommand.trimmed())
        return QStringLiteral("NotifyCommand begins or ends with a blank");
    return commandProblem(notifyCommand);
}

void PagesSettings::save(const QString& dataDir) const
{
    TIniFile(filePath(dataDir))
        .WriteTexts(Section, {{"KeepDays", QByteArray::number(keepDays)},
                              {"MaxAgeHours", QByteArray::number(maxAgeHours)},
                              {"NotifyCommand", notifyCommand}});
}

std::optional<qint32> PagesSettings::parseNumber(const QByteArray& text, qint32 low, qint32 high)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const qint32 n = text.toInt();
    if (n < low || n > high)
        return std::nullopt;
    return n;
}
