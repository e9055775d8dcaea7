#pragma once

#include "pages/ui/pagekeepingoptions.h"

#include <QString>
#include <QWidget>

#include <optional>

class IOperatorPrompts;
class QLabel;
class QLineEdit;

// The options dialog's page of Pages.Dat: how long a page's fate is kept, the maximum age of a
// queued page and the notify command. A thin view over PageKeepingOptions: it shows the file
// each time the dialog opens, with a note when the file cannot be used, and stores what was
// entered when the dialog is confirmed (apply()).
class PageKeepingPage final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int HelpTopic = 107;

    explicit PageKeepingPage(const QString& dataDir, QWidget* parent = nullptr);

    // Shows Pages.Dat as it is now.
    void load();
    // What keeps the entries from being stored; the options dialog asks before its OK closes it.
    // The page's focus then goes to the entry at fault.
    std::optional<QString> check();
    // Stores what is entered when it changed; `prompts` asks before a file that could not be
    // used is replaced. `saved` tells the server to read the file again.
    PageKeepingOptions::Applied apply(IOperatorPrompts& prompts);

private:
    PageKeepingOptions::Entries entries() const;

    PageKeepingOptions m_options;
    QLineEdit* m_keepDays;
    QLineEdit* m_maxAgeHours;
    QLineEdit* m_notifyCommand;
    QLabel* m_fileNote;
};
