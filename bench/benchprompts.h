#pragma once

#include "foundation/operatorprompts.h"

#include <QString>

#include <cstdio>

// The operator of the benchmarks. Nothing in their runs asks the operator; a box would be a
// fault worth seeing, so each is written to standard error and counted, and questions are
// answered No.
class BenchPrompts final : public IOperatorPrompts
{
public:
    void beep() override {}
    void showMessage(BoxKind, const QString& text) override { note(text); }
    bool askYesNo(BoxKind, const QString& text) override { return note(text), false; }
    std::optional<QString> inputText(const QString&, const QString& prompt, const QString&) override
    {
        note(prompt);
        return std::nullopt;
    }
    void showError(const QString& message) override { note(message); }
    void notifyError(const QString& message, std::function<void()>) override { note(message); }

    int boxes = 0;

private:
    void note(const QString& text)
    {
        ++boxes;
        std::fprintf(stderr, "operator box: %s\n", qPrintable(text));
    }
};
