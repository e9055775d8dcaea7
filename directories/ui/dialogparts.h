#pragma once

#include <QList>
#include <QString>

#include <functional>

class IOperatorPrompts;
class NameList;
class QDialog;
class QLabel;
class QListWidget;
class QObject;
class QWidget;

// What the directories' dialogs share: their frame, bold labels, help topics, the list boxes
// that mirror a NameList, and the report of a failed command.
namespace DialogParts {

// Opens the help at a topic number.
using HelpOpener = std::function<void(int topic)>;

// A fixed, modal dialog with its caption and its help topic for F1.
void setUpDialog(QDialog* dialog, const char* objectName, const QString& caption, int helpTopic);
// The Tab key moves through `controls` in this order.
void setTabOrder(const QList<QWidget*>& controls);
// The help topic F1 opens for `object` and the controls inside it.
void setHelpContext(QObject* object, int topic);
// A label for `buddy`, bold when asked.
QLabel* label(const QString& text, QWidget* buddy, bool bold, const char* objectName = nullptr);

// The list box's entries as the names of `names`.
void fill(QListWidget* list, const NameList& names);
// The first selected row, or -1.
int selectedRow(const QListWidget* list);
// Every selected row, from the top.
QList<qsizetype> selectedRows(const QListWidget* list);
// Takes the entry at `row` out of the list and leaves no entry selected: the list would select
// the next one, and a second Delete would then remove a name nobody chose.
void removeRow(QListWidget* list, int row);

// Runs a command; a failure it raises (a data file that cannot be written) is shown in the
// standard error box and the dialog stays as it was.
void guarded(IOperatorPrompts& prompts, const std::function<void()>& command);

} // namespace DialogParts
