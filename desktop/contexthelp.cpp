#include "desktop/contexthelp.h"

#include "desktop/helpwindow.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace {

int contextOf(const QObject* object)
{
    return object ? object->property(ContextHelp::Property).toInt() : 0;
}

} // namespace

ContextHelp::ContextHelp(HelpWindow& help, QObject* parent) : QObject(parent), m_help(help) {}

void ContextHelp::setHelpContext(QObject* object, int topic)
{
    object->setProperty(Property, topic);
}

int ContextHelp::topicFor(QWidget* widget)
{
    if (auto* menu = qobject_cast<QMenu*>(widget)) {
        if (const int topic = contextOf(menu->activeAction()))
            return topic;
    }
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (const int topic = contextOf(w))
            return topic;
    }
    return 0;
}

bool ContextHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
        return QObject::eventFilter(watched, event);
    // Only the widget that receives the key press answers it, not each parent it bubbles to.
    QWidget* front = QApplication::activePopupWidget();
    if (!front)
        front = QApplication::focusWidget() ? QApplication::focusWidget()
                                            : QApplication::activeWindow();
    if (watched != front)
        return QObject::eventFilter(watched, event);
    if (const int topic = topicFor(front))
        m_help.showTopic(topic);
    else
        m_help.showContents();
    return true;
}
