#include "runtime/exceptionboundary.h"

#include "core/ilogsinks.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

#include <exception>

ExceptionBoundary::ExceptionBoundary(ILogSinks& log, IOperatorPrompts& prompts)
    : m_log(log), m_prompts(prompts)
{
}

bool ExceptionBoundary::run(const QString& what, Box box, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (...) {
        report(what, box, currentMessage());
    }
    return false;
}

QString ExceptionBoundary::currentMessage()
{
    try {
        throw;
    } catch (const EZelkorError& error) {
        return error.text();
    } catch (const std::exception& error) {
        return WidgetText::fromBytes(error.what());
    } catch (...) {
    }
    return QStringLiteral("Unknown error");
}

void ExceptionBoundary::report(const QString& what, Box box, const QString& message)
{
    const QString line = what + QStringLiteral(" Failed: ") + message;
    // Telling of a failure must not become one: what cannot be shown or logged is let go.
    try {
        m_log.addConnectionLog(line);
        m_log.AppendLog(WidgetText::toBytes(line));
    } catch (...) {
    }
    try {
        if (box == Box::Modal) {
            m_prompts.showError(message);
            return;
        }
        if (*m_noticeOpen)
            return;
        *m_noticeOpen = true;
        m_prompts.notifyError(message, [open = std::weak_ptr<bool>(m_noticeOpen)] {
            if (const std::shared_ptr<bool> flag = open.lock())
                *flag = false;
        });
    } catch (...) {
    }
}
