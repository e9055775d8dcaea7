#pragma once

#include <QString>

class QAction;
class QObject;

// Triggers a menu command as the operator would: the action must exist and be enabled, since Qt
// ignores trigger() on a disabled action and a test would then check the effects of nothing.
// Failures are reported to the running test.
void triggerAction(QAction* action);
// The action named `name` among the children of `root`.
void triggerAction(const QObject& root, const QString& name);
