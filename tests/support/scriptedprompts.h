#pragma once

#include "foundation/operatorprompts.h"

#include <QList>
#include <QString>
#include <QStringList>

// The operator of the tests: answers questions and input boxes from a script in order and fails
// the running test on any prompt it was not told to expect. Boxes with only an OK button need
// no script; every box shown is recorded.
class ScriptedPrompts final : public IOperatorPrompts
{
public:
    ~ScriptedPrompts() override;

    // The next askYesNo must show `text` (a substring is enough) and gets `yes`.
    void expectQuestion(const QString& text, bool yes);
    // The next inputText must have `prompt` and gets `answer`; nothing means Cancel.
    void expectInput(const QString& prompt, std::optional<QString> answer);

    void beep() override;
    void showMessage(BoxKind kind, const QString& text) override;
    bool askYesNo(BoxKind kind, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    void showError(const QString& message) override;
    // Recorded as "notice: text"; the box stays open until dismissNotices().
    void notifyError(const QString& message, std::function<void()> dismissed) override;
    int openNotices() const { return static_cast<int>(m_notices.size()); }
    // The operator closes every open notice box, oldest first.
    void dismissNotices();

    // Every box shown (messages, questions and error boxes), as "kind: text".
    const QStringList& shown() const { return m_shown; }
    int beeps() const { return m_beeps; }
    // True when every scripted answer was used.
    bool scriptDone() const { return m_script.isEmpty(); }

private:
    struct Step
    {
        bool isInput = false;
        QString text;
        bool yes = false;
        std::optional<QString> answer;
    };
    QList<Step> m_script;
    QStringList m_shown;
    QList<std::function<void()>> m_notices;
    int m_beeps = 0;
};
