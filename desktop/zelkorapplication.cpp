#include "desktop/zelkorapplication.h"

#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

#include <QDebug>

namespace {

void report(IOperatorPrompts* prompts, const QString& message)
{
    if (prompts)
        prompts->showError(message);
    else
        qWarning().noquote() << message;
}

} // namespace

ZelkorApplication::ZelkorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZelkorApplication::notify(QObject* receiver, QEvent* event)
{
    return guarded(m_prompts, [&] { return QApplication::notify(receiver, event); });
}

bool ZelkorApplication::guarded(IOperatorPrompts* prompts, const std::function<bool()>& dispatch)
{
    try {
        return dispatch();
    } catch (const EZelkorError& error) {
        report(prompts, error.text());
    } catch (const std::exception& error) {
        report(prompts, WidgetText::fromBytes(error.what()));
    } catch (...) {
        report(prompts, QStringLiteral("Unknown error"));
    }
    return false;
}
