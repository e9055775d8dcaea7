#pragma once

#include <QString>

#include <functional>
#include <memory>

class ILogSinks;
class IOperatorPrompts;

// Where an exception that leaves a run, a tick, a conversation or an operator command of the
// running server ends: the operator is told (the error box on the desktop, a line on standard
// error headless), the Connection Log and Log.Dat get "<what> Failed: <message>", and the server
// goes on. The queue keeps its pages: its file is only ever replaced whole, so a write that
// failed left it as it was.
class ExceptionBoundary final
{
public:
    enum class Box {
        // The standard error box, waited for: for a command the operator has just given.
        Modal,
        // A box that holds nothing up, for failures of the timer and of conversations, which
        // may run nested inside other work's waits. While one is open, further failures are
        // only logged: a disk that stays full must not pile up a box a minute.
        Notice,
    };

    ExceptionBoundary(ILogSinks& log, IOperatorPrompts& prompts);

    // Runs `work`. True when it returned, false when an exception left it and was reported.
    bool run(const QString& what, Box box, const std::function<void()>& work);

    // The operator's text of the exception in flight; call only inside a catch block.
    static QString currentMessage();

private:
    void report(const QString& what, Box box, const QString& message);

    ILogSinks& m_log;
    IOperatorPrompts& m_prompts;
    // Shared with the open notice's dismissal, which may come after this object is gone.
    std::shared_ptr<bool> m_noticeOpen = std::make_shared<bool>(false);
};
