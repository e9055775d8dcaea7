#include "tests/support/scriptedprompts.h"

#include <gtest/gtest.h>

#include <utility>

namespace {
QString kindName(IOperatorPrompts::BoxKind kind)
{
    switch (kind) {
    case IOperatorPrompts::BoxKind::Warning:
        return QStringLiteral("warning");
    case IOperatorPrompts::BoxKind::Error:
        return QStringLiteral("error");
    case IOperatorPrompts::BoxKind::Confirmation:
        return QStringLiteral("confirmation");
    case IOperatorPrompts::BoxKind::Information:
        return QStringLiteral("information");
    }
    return {};
}
} // namespace

ScriptedPrompts::~ScriptedPrompts()
{
    for (const Step& step : m_script)
        ADD_FAILURE() << "The operator was never asked: " << step.text.toStdString();
}

void ScriptedPrompts::expectQuestion(const QString& text, bool yes)
{
    m_script.append({false, text, yes, std::nullopt});
}

void ScriptedPrompts::expectInput(const QString& prompt, std::optional<QString> answer)
{
    m_script.append({true, prompt, false, std::move(answer)});
}

void ScriptedPrompts::beep()
{
    ++m_beeps;
}

void ScriptedPrompts::showMessage(BoxKind kind, const QString& text)
{
    m_shown.append(kindName(kind) + QStringLiteral(": ") + text);
}

bool ScriptedPrompts::askYesNo(BoxKind kind, const QString& text)
{
    m_shown.append(kindName(kind) + QStringLiteral(": ") + text);
    if (m_script.isEmpty() || m_script.first().isInput || !text.contains(m_script.first().text)) {
        ADD_FAILURE() << "Unexpected question to the operator: " << text.toStdString();
        return false;
    }
    return m_script.takeFirst().yes;
}

std::optional<QString> ScriptedPrompts::inputText(const QString& title, const QString& prompt,
                                                  const QString&)
{
    m_shown.append(QStringLiteral("input: ") + title + QStringLiteral(" / ") + prompt);
    if (m_script.isEmpty() || !m_script.first().isInput || prompt != m_script.first().text) {
        ADD_FAILURE() << "Unexpected input box: " << prompt.toStdString();
        return std::nullopt;
    }
    return m_script.takeFirst().answer;
}

void ScriptedPrompts::showError(const QString& message)
{
    m_shown.append(QStringLiteral("standard error: ") + message);
}

void ScriptedPrompts::notifyError(const QString& message, std::function<void()> dismissed)
{
    m_shown.append(QStringLiteral("notice: ") + message);
    m_notices.append(std::move(dismissed));
}

void ScriptedPrompts::dismissNotices()
{
    const QList<std::function<void()>> open = std::exchange(m_notices, {});
    for (const std::function<void()>& dismissed : open) {
        if (dismissed)
            dismissed();
    }
}
