#pragma once

#include "lines/ui/linesoptions.h"

#include <QString>
#include <QWidget>

#include <optional>

class IOperatorPrompts;
class QLabel;
class QPlainTextEdit;

// The options dialog's "Delivery Lines" page: Lines.Dat as text, the routes of access numbers
// to carriers on the network. A thin view over LinesOptions: it shows the file each time the
// dialog opens, with a note when the file cannot be read, refuses an OK while a line cannot be
// used (naming it by its number), and stores the text when the dialog is confirmed.
class LinesPage final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int HelpTopic = 109;

    explicit LinesPage(const QString& dataDir, QWidget* parent = nullptr);

    // Shows Lines.Dat as it is now.
    void load();
    // The lines that keep the text from being stored; the options dialog asks before its OK
    // closes it.
    std::optional<QString> check();
    // Stores the text when it changed; `saved` tells the server to read the file again.
    LinesOptions::Applied apply(IOperatorPrompts& prompts);

private:
    LinesOptions m_options;
    QPlainTextEdit* m_text;
    QLabel* m_fileNote;
};
