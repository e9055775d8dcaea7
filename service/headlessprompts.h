#pragma once

#include "foundation/operatorprompts.h"

#include <QByteArray>

#include <cstdio>

// The operator's side of IOperatorPrompts when the server runs without a display. Nobody is
// there to answer: boxes become lines on standard error, and a question gets the answer that
// keeps the server running and loses nothing. The headless server does not take the paths that
// ask questions on the desktop; it makes those decisions itself, beside the place where the
// desktop asks. A question that still arrives here is answered No (no queue cleared, no call
// cut, no exit) and the answer is written down with it.
class HeadlessPrompts final : public IOperatorPrompts
{
public:
    explicit HeadlessPrompts(std::FILE* errors = stderr);

    void beep() override {}
    void showMessage(BoxKind kind, const QString& text) override;
    bool askYesNo(BoxKind kind, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    void showError(const QString& message) override;
    void notifyError(const QString& message, std::function<void()> dismissed) override;

private:
    void write(const QByteArray& kind, const QString& text);

    std::FILE* m_errors;
};
