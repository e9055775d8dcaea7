#pragma once

#include "server/ui/helpviewer.h"

#include <QObject>
#include <QPointer>

// The main window's help: one help window serves every request of the program. It is created on
// the first request, frees itself when the operator closes it, and goes with its owner.
class HelpWindow final : public QObject
{
    Q_OBJECT

public:
    explicit HelpWindow(QObject* parent = nullptr);
    ~HelpWindow() override;

    HelpViewer* showContents();
    // The topic's page; the contents for a topic without one.
    HelpViewer* showTopic(int topic);
    // The open help window, or nullptr.
    HelpViewer* viewer() const { return m_viewer.data(); }

private:
    HelpViewer* open(const QUrl& page);

    QPointer<HelpViewer> m_viewer;
};
