#include "desktop/widgetprompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon iconOf(IOperatorPrompts::BoxKind kind)
{
    switch (kind) {
    case IOperatorPrompts::BoxKind::Warning:
        return QMessageBox::Warning;
    case IOperatorPrompts::BoxKind::Error:
        return QMessageBox::Critical;
    case IOperatorPrompts::BoxKind::Confirmation:
        return QMessageBox::Question;
    case IOperatorPrompts::BoxKind::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QString captionOf(IOperatorPrompts::BoxKind kind)
{
    switch (kind) {
    case IOperatorPrompts::BoxKind::Warning:
        return QStringLiteral("Warning");
    case IOperatorPrompts::BoxKind::Error:
        return QStringLiteral("Error");
    case IOperatorPrompts::BoxKind::Confirmation:
        return QStringLiteral("Confirm");
    case IOperatorPrompts::BoxKind::Information:
        return QStringLiteral("Information");
    }
    return {};
}

} // namespace

WidgetPrompts::WidgetPrompts(QWidget* parent) : m_parent(parent) {}

void WidgetPrompts::beep()
{
    QApplication::beep();
}

void WidgetPrompts::showMessage(BoxKind kind, const QString& text)
{
    QMessageBox box(iconOf(kind), captionOf(kind), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetPrompts::askYesNo(BoxKind kind, const QString& text)
{
    QMessageBox box(iconOf(kind), captionOf(kind), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetPrompts::inputText(const QString& title, const QString& prompt,
                                                const QString& initial)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void WidgetPrompts::notifyError(const QString& message, std::function<void()> dismissed)
{
    // Not modal and never waited for: whatever is running in the event loop below the box goes
    // on, and so does every conversation that starts while it is up.
    auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), message,
                                QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box, [dismissed = std::move(dismissed)] {
        if (dismissed)
            dismissed();
    });
    box->show();
}

void WidgetPrompts::showError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message,
                    QMessageBox::Ok, m_parent);
    box.exec();
}
