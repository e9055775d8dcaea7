#include "desktop/helpwindow.h"

#include "desktop/helpviewer.h"

#include <QEvent>
#include <QWidget>

HelpWindow::HelpWindow(QObject* parent) : QObject(parent) {}

HelpWindow::~HelpWindow()
{
    // A window of its own, not a child: it goes with the program's main window.
    delete m_viewer.data();
}

void HelpWindow::follow(QWidget* window)
{
    if (m_followed)
        m_followed->removeEventFilter(this);
    m_followed = window;
    if (window)
        window->installEventFilter(this);
}

HelpViewer* HelpWindow::showContents()
{
    return open(HelpViewer::contentsUrl());
}

HelpViewer* HelpWindow::showTopic(int topic)
{
    return open(HelpViewer::topicUrl(topic));
}

HelpViewer* HelpWindow::open(const QUrl& page)
{
    if (!m_viewer)
        m_viewer = new HelpViewer();
    m_hiddenWithWindow = false;
    m_viewer->showPage(page);
    return m_viewer.data();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_followed) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            followedWindowChanged();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void HelpWindow::followedWindowChanged()
{
    // A help window of its own would otherwise stay on the desktop, alone, while the server it
    // explains sits in the tray.
    const bool windowInView = m_followed->isVisible() && !m_followed->isMinimized();
    if (!windowInView && m_viewer && m_viewer->isVisible()) {
        m_viewer->hide();
        m_hiddenWithWindow = true;
    } else if (windowInView && m_hiddenWithWindow) {
        m_hiddenWithWindow = false;
        if (m_viewer)
            m_viewer->show();
    }
}
