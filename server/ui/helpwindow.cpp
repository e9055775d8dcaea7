#include "server/ui/helpwindow.h"

#include "server/ui/helpviewer.h"

HelpWindow::HelpWindow(QObject* parent) : QObject(parent) {}

HelpWindow::~HelpWindow()
{
    // A window of its own, not a child: it goes with the program's main window.
    delete m_viewer.data();
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
    m_viewer->showPage(page);
    return m_viewer.data();
}
