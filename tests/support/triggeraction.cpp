#include "tests/support/triggeraction.h"

#include <QAction>

#include <gtest/gtest.h>

void triggerAction(QAction* action)
{
    ASSERT_NE(action, nullptr) << "no such action";
    ASSERT_TRUE(action->isEnabled()) << "the action " << action->objectName().toStdString()
                                     << " is disabled, so triggering it would do nothing";
    action->trigger();
}

void triggerAction(const QObject& root, const QString& name)
{
    auto* action = root.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << "no action named " << name.toStdString();
    triggerAction(action);
}
