#include "directories/ui/dialogparts.h"

#include "directories/namelist.h"
#include "foundation/errors.h"
#include "foundation/operatorprompts.h"
#include "foundation/widgettext.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QListWidget>

#include <algorithm>

namespace DialogParts {

void setUpDialog(QDialog* dialog, const char* objectName, const QString& caption, int helpTopic)
{
    dialog->setObjectName(QLatin1String(objectName));
    dialog->setWindowTitle(caption);
    dialog->setModal(true);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    setHelpContext(dialog, helpTopic);
    if (dialog->layout())
        dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void setTabOrder(const QList<QWidget*>& controls)
{
    for (qsizetype i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
}

void setHelpContext(QObject* object, int topic)
{
    // The property the program's F1 handler looks for, from the focused control outwards.
    object->setProperty("helpContext", topic);
}

QLabel* label(const QString& text, QWidget* buddy, bool bold, const char* objectName)
{
    auto* label = new QLabel(text);
    if (objectName)
        label->setObjectName(QLatin1String(objectName));
    label->setBuddy(buddy);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

void fill(QListWidget* list, const NameList& names)
{
    list->clear();
    for (const QByteArray& name : names.names())
        list->addItem(WidgetText::fromBytes(name));
}

int selectedRow(const QListWidget* list)
{
    const QList<qsizetype> rows = selectedRows(list);
    return rows.isEmpty() ? -1 : static_cast<int>(rows.first());
}

QList<qsizetype> selectedRows(const QListWidget* list)
{
    QList<qsizetype> rows;
    for (const QListWidgetItem* item : list->selectedItems())
        rows.append(list->row(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void removeRow(QListWidget* list, int row)
{
    delete list->takeItem(row);
    list->setCurrentItem(nullptr);
    list->clearSelection();
}

void guarded(IOperatorPrompts& prompts, const std::function<void()>& command)
{
    try {
        command();
    } catch (const EZelkorError& error) {
        prompts.showError(error.text());
    }
}

} // namespace DialogParts
