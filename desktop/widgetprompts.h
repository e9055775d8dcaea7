#pragma once

#include "foundation/operatorprompts.h"

class QWidget;

// The operator's side of IOperatorPrompts on the desktop: modal message boxes, input boxes and
// the system beep.
class WidgetPrompts final : public IOperatorPrompts
{
public:
    explicit WidgetPrompts(QWidget* parent = nullptr);

    void setParent(QWidget* parent) { m_parent = parent; }

    void beep() override;
    void showMessage(BoxKind kind, const QString& text) override;
    bool askYesNo(BoxKind kind, const QString& text) override;
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     const QString& initial) override;
    void showError(const QString& message) override;
    void notifyError(const QString& message, std::function<void()> dismissed) override;

private:
    QWidget* m_parent;
};
