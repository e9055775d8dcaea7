#pragma once

#include <QApplication>

#include <functional>

class IOperatorPrompts;

// The application object. An exception that leaves an event handler ends up here: it is shown
// in the standard error box with its message and the server keeps running.
class ZelkorApplication final : public QApplication
{
    Q_OBJECT

public:
    ZelkorApplication(int& argc, char** argv);

    // Where the standard error box is shown; without prompts the message goes to the log.
    void setPrompts(IOperatorPrompts* prompts) { m_prompts = prompts; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs `dispatch` and reports an exception that leaves it through `prompts`; false then.
    static bool guarded(IOperatorPrompts* prompts, const std::function<bool()>& dispatch);

private:
    IOperatorPrompts* m_prompts = nullptr;
};
