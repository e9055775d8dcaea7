#include "pages/ui/pagekeepingoptions.h"

#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

#include <utility>

namespace {

// An entry quoted in a refusal: a long paste is cut so the box stays readable.
QString quoted(const QString& entry)
{
    constexpr qsizetype Shown = 24;
    return entry.size() > Shown ? entry.left(Shown) + QStringLiteral("...") : entry;
}

} // namespace

PageKeepingOptions::PageKeepingOptions(QString dataDir) : m_dataDir(std::move(dataDir)) {}

PageKeepingOptions::Entries PageKeepingOptions::load()
{
    QString problem;
    if (const std::optional<PagesSettings> read = PagesSettings::read(m_dataDir, problem)) {
        m_loaded = *read;
        m_fileProblem.reset();
    } else {
        m_loaded = PagesSettings{};
        m_fileProblem = problem;
    }
    m_shown = {QString::number(m_loaded.keepDays), QString::number(m_loaded.maxAgeHours),
               WidgetText::fromFileName(m_loaded.notifyCommand)};
    return m_shown;
}

std::optional<PagesSettings> PageKeepingOptions::parse(const Entries& entries,
                                                       Refusal& refusal) const
{
    const std::optional<qint32> days = PagesSettings::parseNumber(
        WidgetText::toBytes(entries.keepDays.trimmed()), 1, PagesSettings::MaxKeepDays);
    if (!days) {
        refusal.field = Field::KeepDays;
        refusal.text = QStringLiteral("'%1' is not a valid number of days to keep pages: enter a "
                                      "number from 1 to %2")
                           .arg(quoted(entries.keepDays))
                           .arg(PagesSettings::MaxKeepDays);
        return std::nullopt;
    }
    const std::optional<qint32> hours = PagesSettings::parseNumber(
        WidgetText::toBytes(entries.maxAgeHours.trimmed()), 0, PagesSettings::MaxMaxAgeHours);
    if (!hours) {
        refusal.field = Field::MaxAgeHours;
        refusal.text =
            QStringLiteral("'%1' is not a valid maximum age: enter a number of hours from "
                           "0 (no limit) to %2")
                .arg(quoted(entries.maxAgeHours))
                .arg(PagesSettings::MaxMaxAgeHours);
        return std::nullopt;
    }
    PagesSettings settings;
    settings.keepDays = *days;
    settings.maxAgeHours = *hours;
    // The command as the file held it when the operator left it as shown, so bytes that are no
    // text in the file system's encoding are not changed by showing them; else as typed, in the
    // file system's encoding, which is how its words are handed to the program.
    settings.notifyCommand = entries.notifyCommand == m_shown.notifyCommand
                                 ? m_loaded.notifyCommand
                                 : WidgetText::toFileName(entries.notifyCommand.trimmed());
    if (const std::optional<QString> problem = settings.problem()) {
        refusal = {Field::NotifyCommand,
                   QStringLiteral("The notify command cannot be used: %1").arg(*problem)};
        return std::nullopt;
    }
    return settings;
}

std::optional<PageKeepingOptions::Refusal> PageKeepingOptions::check(const Entries& entries) const
{
    Refusal refusal;
    if (parse(entries, refusal))
        return std::nullopt;
    return refusal;
}

std::optional<PagesSettings> PageKeepingOptions::settingsOf(const Entries& entries) const
{
    Refusal refusal;
    return parse(entries, refusal);
}

PageKeepingOptions::Applied PageKeepingOptions::apply(const Entries& entries,
                                                      IOperatorPrompts& prompts)
{
    Refusal refusal;
    const std::optional<PagesSettings> parsed = parse(entries, refusal);
    if (!parsed)
        return {false, refusal.text};
    const PagesSettings& settings = *parsed;
    // Settings as they were shown leave the file alone: a file the server could not use stays
    // as it is, for the operator to look into, and the server keeps the settings it runs with.
    if (settings == m_loaded)
        return {};
    if (m_fileProblem &&
        !prompts.askYesNo(IOperatorPrompts::BoxKind::Confirmation,
                          QStringLiteral("%1.\r\nReplace %2 with the page keeping settings "
                                         "entered?")
                              .arg(*m_fileProblem, PagesSettings::FileName)))
        return {};
    try {
        settings.save(m_dataDir);
    } catch (const EZelkorError& error) {
        return {false, error.text()};
    }
    m_loaded = settings;
    m_fileProblem.reset();
    m_shown = entries;
    return {true, std::nullopt};
}
