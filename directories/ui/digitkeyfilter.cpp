#include "directories/ui/digitkeyfilter.h"

#include "directories/directorychecks.h"
#include "foundation/operatorprompts.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

DigitKeyFilter::DigitKeyFilter(QLineEdit* field, IOperatorPrompts& prompts)
    : QObject(field), m_prompts(prompts)
{
    field->installEventFilter(this);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
}

bool DigitKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // The dialog's own keys (Enter for OK, Escape, Tab), the editing keys and keys that type
    // nothing pass.
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    const QString typed = key->text();
    if (typed.isEmpty() || DirectoryChecks::isDigitKey(typed.front()))
        return false;
    m_prompts.beep();
    return true;
}
