#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class IOperatorPrompts;

// What the options dialog's "Delivery Lines" page shows and stores, without the widgets:
// Lines.Dat as text, checked line by line before it is stored, and written back only when it
// changed. A file that cannot be read shows empty; it is replaced only when the operator
// entered something and then agrees to replace it.
class LinesOptions
{
public:
    // What an OK did.
    struct Applied
    {
        bool saved = false;             // Lines.Dat was written: the server reads it again
        std::optional<QString> failure; // why nothing was stored, for the operator
    };

    explicit LinesOptions(QString dataDir);

    // Reads Lines.Dat afresh: its text, or empty when there is no file or it cannot be read,
    // and then fileProblem() says why.
    QString load();
    const std::optional<QString>& fileProblem() const { return m_fileProblem; }

    // The lines of `text` that could not be used, one a line with its number, or nothing when
    // every line can be.
    std::optional<QString> check(const QString& text) const;
    // Stores `text` (its lines ended in CR LF) when it differs from what load() gave. Nothing is
    // written when a line cannot be used, when the file cannot be written (`failure` says why)
    // or when the operator keeps a file that could not be read.
    Applied apply(const QString& text, IOperatorPrompts& prompts);

    QString filePath() const;

private:
    static QByteArray fileBytes(const QString& text);

    QString m_dataDir;
    QByteArray m_loaded; // as fileBytes() gives it
    std::optional<QString> m_fileProblem;
};
