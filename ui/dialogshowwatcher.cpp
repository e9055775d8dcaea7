#include "ui/dialogshowwatcher.h"

#include <QEvent>
#include <QWidget>

DialogShowWatcher::DialogShowWatcher(QWidget* page, std::function<void()> onShown)
    : QObject(page), m_page(page), m_onShown(std::move(onShown))
{
    page->installEventFilter(this);
    follow();
}

void DialogShowWatcher::follow()
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = m_page->window() != m_page ? m_page->window() : nullptr;
    if (m_window)
        m_window->installEventFilter(this);
}

bool DialogShowWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_page && event->type() == QEvent::ParentChange)
        follow();
    else if (watched == m_window && event->type() == QEvent::Show)
        m_onShown();
    return QObject::eventFilter(watched, event);
}
