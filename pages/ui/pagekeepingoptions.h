#pragma once

#include "pages/pagessettings.h"

#include <QString>

#include <optional>

class IOperatorPrompts;

// What the options dialog's page of Pages.Dat shows and stores, without the widgets: the file
// read into the texts of the page's entries, the entries checked, and the settings written back
// only when they changed. A file that cannot be used shows the defaults; it is replaced only
// when the operator changed the entries and then agrees to replace it.
class PageKeepingOptions
{
public:
    // The page's entries as typed.
    struct Entries
    {
        QString keepDays;
        QString maxAgeHours;
        QString notifyCommand;

        bool operator==(const Entries&) const = default;
    };

    // An entry that keeps the others from being stored, and why.
    enum class Field { KeepDays, MaxAgeHours, NotifyCommand };
    struct Refusal
    {
        Field field = Field::KeepDays;
        QString text; // for the operator
    };

    // What an OK did.
    struct Applied
    {
        bool saved = false;             // Pages.Dat was written: the server reads it again
        std::optional<QString> failure; // why nothing was stored, for the operator
    };

    explicit PageKeepingOptions(QString dataDir);

    // Reads Pages.Dat afresh: its settings as entries, or the defaults when the file cannot be
    // used, and then fileProblem() says why.
    Entries load();
    const std::optional<QString>& fileProblem() const { return m_fileProblem; }
    // The entries load() gave.
    const Entries& shown() const { return m_shown; }

    // What keeps the entries from being stored; nothing when they can be.
    std::optional<Refusal> check(const Entries& entries) const;
    // The settings the entries stand for; nothing when check() refuses them.
    std::optional<PagesSettings> settingsOf(const Entries& entries) const;
    // Stores the entries when they changed. A file that could not be used is replaced only when
    // the operator says yes to `prompts`' question. Nothing is written when the entries are
    // refused or the file cannot be written; `failure` then says why.
    Applied apply(const Entries& entries, IOperatorPrompts& prompts);

private:
    std::optional<PagesSettings> parse(const Entries& entries, Refusal& refusal) const;

    QString m_dataDir;
    PagesSettings m_loaded;
    Entries m_shown;
    std::optional<QString> m_fileProblem;
};
