#pragma once

#include <QString>

#include <functional>

#include <optional>

// Everything the server's logic asks of or tells the operator goes through this interface.
// The desktop program shows modal boxes; tests answer from a script.
class IOperatorPrompts
{
public:
    enum class BoxKind { Warning, Error, Confirmation, Information };

    virtual ~IOperatorPrompts() = default;

    // The system's information beep that precedes most boxes.
    virtual void beep() = 0;
    // A modal box of the given kind with an OK button.
    virtual void showMessage(BoxKind kind, const QString& text) = 0;
    // A modal box of the given kind with Yes and No; true for Yes.
    virtual bool askYesNo(BoxKind kind, const QString& text) = 0;
    // An input box; nothing when the operator cancels.
    virtual std::optional<QString> inputText(const QString& title, const QString& prompt,
                                             const QString& initial) = 0;
    // The application's standard error box for a failure that left a handler.
    virtual void showError(const QString& message) = 0;
    // Tells the operator of a failure without waiting: the box stays up while the server goes
    // on serving, and `dismissed` runs once the operator has closed it. For failures that must
    // not hold up conversations or calls that run nested in the event loop.
    virtual void notifyError(const QString& message, std::function<void()> dismissed) = 0;
};
